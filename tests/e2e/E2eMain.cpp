// The MIDI dialog waits in the Qt event loop, so these tests run with an application object.

#include "support/ScratchDeviceLocks.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    const qel::test::ScratchDeviceLocks deviceLocks;
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
