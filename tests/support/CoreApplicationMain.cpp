// Test entry for tests that need Qt's event loop: the MIDI layer delivers its
// notifications through the UI thread's event queue.

#include <QCoreApplication>
#include <gtest/gtest.h>

// RtMidi's JACK backend allocates its ring buffers when an object is made and
// frees them only if it ever reached a JACK server; on a machine without one
// (these tests list devices there on purpose) they stay allocated. Not ours to fix.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:jack_ringbuffer_create\n";
}

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
