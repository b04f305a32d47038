// The figures progress and results show, and the details of the messages.

#include "core/ProgressText.h"

#include "core/MessageDetails.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

using namespace std::chrono_literals;

TEST(ProgressText, KilobytesRoundAndSeparateThousands) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {-5, "0 KB"},          {0, "0 KB"},
        {511, "0 KB"},         {512, "1 KB"},
        {5040, "5 KB"},        {831488, "812 KB"},
        {1567800, "1,531 KB"}, {1024LL * 1234567, "1,234,567 KB"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(kilobyteText(bytes), text) << bytes;
}

TEST(ProgressText, DurationsInSecondsMinutesAndHours) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {-1, "0 s"},          {0, "0 s"},          {59, "59 s"},
        {60, "1 min 0 s"},    {261, "4 min 21 s"}, {3599, "59 min 59 s"},
        {3600, "1 h 00 min"}, {3725, "1 h 02 min"}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(durationText(seconds), text) << seconds;
}

TEST(ProgressText, ATransferTellsItsRateAndTimeLeftOnceThereIsARate) {
    struct Case {
        std::int64_t done, total, elapsedMs;
        const char* text;
    };
    const Case cases[] = {
        {0, 49152, 0, "0 KB of 48 KB"},
        {0, 49152, 5000, "0 KB of 48 KB"},
        {12288, 49152, 0, "12 KB of 48 KB"},
        // 3 KB/s, as a MIDI cable runs: 36 KB left take 12 s.
        {12288, 49152, 4000, "12 KB of 48 KB, 3 KB/s, 12 s left"},
        {300, 3000, 1000, "0 KB of 3 KB, 300 bytes/s, 9 s left"},
        {49152, 49152, 16000, "48 KB of 48 KB, 3 KB/s"},
        {60000, 49152, 16000, "48 KB of 48 KB, 3 KB/s"},
        {3072, 1024 * 1024, 1000, "3 KB of 1,024 KB, 3 KB/s, 5 min 41 s left"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(transferText(c.done, c.total, c.elapsedMs), c.text)
            << c.done << " of " << c.total << " after " << c.elapsedMs << " ms";
}

TEST(MessageDetails, EachKeyboardMessageSaysWhatItMeansAndWhatToDo) {
    struct Case {
        const char* text;
        const char* detailPart; // a part of the detail; empty for none at all
    };
    const Case cases[] = {
        {"MIDI TIMEOUT", "The keyboard did not answer within 10 s. Check the MIDI cables and the "
                         "devices in File > Preferences."},
        {"MESSAGE REJECTED", "refused a message"},
        {"SYSEX ERROR", "nothing half-received was saved"},
        {"Memory Full", "not enough free memory"},
        {"Illegal Format", "not in the format"},
        {"Unknown Keyboard", "model code"},
        {"MIDI SYSTEM ERROR: device busy", "MIDI system refused"},
        {"No Such MIDI Device: ", "No MIDI device is chosen yet. Choose the keyboard's input and "
                                  "output devices in File > Preferences."},
        {"No Such MIDI Device:", "No MIDI device is chosen yet."},
        {"No Such MIDI Device: USB MIDI 1", "not connected now"},
        {"The keyboard is in use by tq7400 (process 1234)", "Only one program"},
        {"Can't create the file: /card/VORLA_MD/A.vdf", "cannot be written"},
        {"Cancelled", ""},
        {"MIDI TIMEOUTS", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        const std::string detail = messageDetail(c.text, 10s);
        if (std::string(c.detailPart).empty())
            EXPECT_EQ(detail, "") << c.text;
        else
            EXPECT_NE(detail.find(c.detailPart), std::string::npos) << c.text << ": " << detail;
    }
}

TEST(MessageDetails, TheTimeOutIsTheOneInUse) {
    EXPECT_EQ(messageDetail("MIDI TIMEOUT", 2500ms).substr(0, 50),
              "The keyboard did not answer within 2.5 s. Check th");
    EXPECT_NE(messageDetail("MIDI TIMEOUT", 30s).find("within 30 s."), std::string::npos);
}

} // namespace
} // namespace qel
