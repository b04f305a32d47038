#include "kbdsim/tool/CommandLine.h"

#include "core/Exception.h"

#include <gtest/gtest.h>

namespace kbdsim::tool {
namespace {

TEST(CommandLine, DefaultsAreModelThreeDemoContentNoPacingNoFaults) {
    const Settings settings = parseCommandLine({});
    EXPECT_EQ(settings.options.modelCode, 3);
    EXPECT_EQ(settings.options.content, StartContent::Demo);
    EXPECT_FALSE(settings.options.pacing.enabled);
    EXPECT_EQ(settings.options.faults.noReply.ordinal, 0u);
    EXPECT_EQ(settings.api, MidiApi::Automatic);
    EXPECT_EQ(inputClientName(settings), "TQ-7400 Simulator In");
    EXPECT_EQ(outputClientName(settings), "TQ-7400 Simulator Out");
}

TEST(CommandLine, EveryOptionReachesItsSetting) {
    const Settings s = parseCommandLine({"--model",
                                         "1",
                                         "--memory",
                                         "/tmp/m.img",
                                         "--blank",
                                         "--api",
                                         "jack",
                                         "--name",
                                         "Sim",
                                         "--pace",
                                         "--processing-delay",
                                         "7",
                                         "--no-reply-to",
                                         "5",
                                         "--no-reply-kind",
                                         "model",
                                         "--reject-at-block",
                                         "2",
                                         "--sysex-error-at-block",
                                         "3",
                                         "--malformed",
                                         "end",
                                         "--malformed-at",
                                         "4",
                                         "--malformed-kind",
                                         "data-request",
                                         "--late-at",
                                         "6",
                                         "--late-kind",
                                         "next-block",
                                         "--late-by",
                                         "11000",
                                         "--busy-after-delete",
                                         "8",
                                         "--silent-after-block",
                                         "1",
                                         "--corrupt-block",
                                         "9",
                                         "--corruption",
                                         "pairs",
                                         "--trace"});
    EXPECT_EQ(s.options.modelCode, 1);
    EXPECT_EQ(s.memoryFile, "/tmp/m.img");
    EXPECT_EQ(s.options.content, StartContent::Blank);
    EXPECT_EQ(s.api, MidiApi::Jack);
    EXPECT_EQ(inputClientName(s), "Sim In");
    EXPECT_TRUE(s.options.pacing.enabled);
    EXPECT_EQ(s.options.pacing.processingDelay, std::chrono::microseconds(7000));
    const Faults& f = s.options.faults;
    EXPECT_EQ(f.noReply.ordinal, 5u);
    EXPECT_EQ(f.noReply.kind, MessageKind::ModelRequest);
    EXPECT_EQ(f.rejectAtBlock, 2u);
    EXPECT_EQ(f.sysExErrorAtBlock, 3u);
    EXPECT_EQ(f.malformation, Malformation::MissingEnd);
    EXPECT_EQ(f.malformedReply.ordinal, 4u);
    EXPECT_EQ(f.malformedReply.kind, MessageKind::DataRequest);
    EXPECT_EQ(f.lateReply.ordinal, 6u);
    EXPECT_EQ(f.lateReply.kind, MessageKind::NextBlock);
    EXPECT_EQ(f.lateBy, std::chrono::microseconds(11'000'000));
    EXPECT_EQ(f.busyPollsAfterDelete, 8u);
    EXPECT_EQ(f.silentAfterBlock, 1u);
    EXPECT_EQ(f.corruptAtBlock, 9u);
    EXPECT_EQ(f.blockCorruption, BlockCorruption::PairCount);
    EXPECT_TRUE(s.trace);
}

TEST(CommandLine, BadArgumentsAreRefusedWithTheirName) {
    struct Case {
        std::vector<std::string> arguments;
        const char* mention;
    };
    const Case cases[] = {
        {{"--model"}, "--model: value missing"},
        {{"--model", "16384"}, "--model: expected a number from 0 to 16383"},
        {{"--model", "-1"}, "--model"},
        {{"--model", "3x"}, "--model"},
        {{"--reject-at-block", ""}, "--reject-at-block"},
        {{"--api", "winmm"}, "--api: expected jack or alsa"},
        {{"--name", "a:b"}, "--name"},
        {{"--malformed", "long"}, "--malformed"},
        {{"--corruption", "all"}, "--corruption: expected checksum, pairs, number or bit"},
        {{"--corrupt-block", "16384"}, "--corrupt-block"},
        {{"--no-reply-kind", "everything"}, "--no-reply-kind: unknown message kind"},
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
    };
    for (const Case& c : cases) {
        try {
            parseCommandLine(c.arguments);
            ADD_FAILURE() << c.mention;
        } catch (const qel::Exception& failure) {
            EXPECT_NE(failure.message().find(c.mention), std::string::npos) << failure.message();
        }
    }
}

TEST(CommandLine, HelpNamesEveryOption) {
    const std::string text = usage();
    for (const char* option : {"--api",
                               "--name",
                               "--memory",
                               "--blank",
                               "--model",
                               "--pace",
                               "--processing-delay",
                               "--no-reply-to",
                               "--no-reply-kind",
                               "--reject-at-block",
                               "--sysex-error-at-block",
                               "--malformed",
                               "--malformed-at",
                               "--malformed-kind",
                               "--late-at",
                               "--late-kind",
                               "--late-by",
                               "--busy-after-delete",
                               "--silent-after-block",
                               "--corrupt-block",
                               "--corruption",
                               "--trace",
                               "--help"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

} // namespace
} // namespace kbdsim::tool
