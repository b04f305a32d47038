// Test entry for widget tests: a QApplication on Qt's offscreen platform.

#include "support/ScratchDeviceLocks.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    const qel::test::ScratchDeviceLocks deviceLocks;
    // Also when listing the tests, where the test environment is not applied yet.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
