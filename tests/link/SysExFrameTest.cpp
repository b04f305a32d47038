#include "link/SysExFrame.h"

#include "core/Exception.h"
#include "support/Hex.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using test::hex;

std::string checkFailure(const ByteVector& message) {
    try {
        SysExFormatChecker().check(message);
    } catch (const Exception& e) {
        return e.message();
    }
    return "";
}

TEST(SysExFormatChecker, TestsRunInOrderAndStopAtTheFirstFailure) {
    struct Case {
        const char* name;
        const char* message;
        const char* failure;
    };
    const Case cases[] = {
        {"empty", "", "short message"},
        {"ten bytes", "F0 44 11 02 7F 05 02 00 00 F7", "short message"},
        {"eleven bytes", "F0 44 11 02 7F 05 02 00 00 01 F7", ""},
        {"ten bytes with every other fault", "00 00 00 00 00 00 00 00 00 00", "short message"},
        {"start and end wrong", "F1 44 11 02 7F 05 02 00 00 01 00 F6", "SYSEX error"},
        {"manufacturer and end wrong", "F0 43 11 02 7F 05 02 00 00 01 00 F6", "EOX error"},
        {"manufacturer wrong", "F0 43 11 02 7F 05 02 00 00 01 00 F7", "VORLA ID error"},
        {"other model bytes 2-4", "F0 44 12 03 00 05 02 00 00 01 00 F7", ""},
        {"type, length and 8-bit body not examined", "F0 44 11 02 7F 63 02 00 00 FF FF FF F7", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkFailure(hex(c.message)), c.failure) << c.name;
}

TEST(SysExFormatChecker, MessageTypeChecksThenReturnsByteFive) {
    EXPECT_EQ(messageType(hex("F0 44 11 02 7F 05 02 00 00 01 00 F7")), 5);
    EXPECT_EQ(messageType(hex("F0 44 11 02 7F 07 02 00 00 01 00 01 F7")), 7);
    EXPECT_THROW(messageType(hex("F0 44 11 02 7F 05 02 00 00 F7")), Exception);
}

} // namespace
} // namespace qel
