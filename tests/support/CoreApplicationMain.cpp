// Test entry for tests that need Qt's event loop: the MIDI layer delivers its
// notifications through the UI thread's event queue.

#include "support/ScratchDeviceLocks.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    const qel::test::ScratchDeviceLocks deviceLocks;
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
