// The MIDI log: what each message is, the capacity, and nothing while closed.

#include "workflows/MidiLog.h"

#include "support/Hex.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using test::hex;

TEST(MidiLog, DescribesEachKindOfMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {"F0 44 11 02 7F 01 00 22 0D 00 00 00 F7", "parameter request: Command 0, parameter 34"},
        {"F0 44 11 02 7F 00 10 04 1F 03 00 00 44 06 09 0A 04 F7",
         "parameter value: SMF 3, parameter 4"},
        {"F0 44 11 02 7F 05 02 00 00 6E 05 F7", "data request: Tone 750"},
        {"F0 44 11 02 7F 04 10 00 4F 05 00 02 00 01 01 02 03 7A F7",
         "data block 2: SMF 5, 2 bytes"},
        {"F0 44 11 02 7F 07 10 00 00 05 00 01 F7", "handshake: next block, SMF 5"},
        {"F0 44 11 02 7F 07 10 00 00 05 00 05 F7", "handshake: rejected, SMF 5"},
        {"F0 43 11 02 7F 07 10 00 00 05 00 05 F7", "not a keyboard message"},
        {"F0 44 F7", "not a keyboard message"},
    };
    for (const auto& [bytes, what] : cases)
        EXPECT_EQ(MidiLog::describe(hex(bytes)), what) << bytes;
}

TEST(MidiLog, RecordsOnlyWhileEnabledAndKeepsTheNewest) {
    MidiLog log(3);
    const ByteVector message = hex("F0 44 11 02 7F 01 00 22 0D 00 00 00 F7");
    log.record(true, message);
    EXPECT_TRUE(log.entries().empty()) << "nothing while the window is closed";
    log.setEnabled(true);
    int added = 0;
    log.onAdded = [&](const MidiLogEntry&) { ++added; };
    for (std::uint8_t i = 0; i < 5; ++i) {
        ByteVector numbered = message;
        numbered[9] = i;
        log.record(i % 2 == 0, numbered);
    }
    EXPECT_EQ(added, 5);
    ASSERT_EQ(log.entries().size(), 3u);
    EXPECT_EQ(log.entries().front().bytes[9], 2);
    EXPECT_EQ(log.entries().back().bytes[9], 4);
    EXPECT_TRUE(log.entries().back().sent);
    const std::string line = MidiLog::line(log.entries().back());
    EXPECT_NE(line.find("  out  parameter request: Command 4, parameter 34   F0 44 11"),
              std::string::npos)
        << line;
}

} // namespace
} // namespace qel
