// The terminal's progress bars and result lines, drawn into captured streams:
// which calls draw a bar, that it never goes back, and that a line printed
// while a bar stands clears it first.

#include "cli/TerminalLine.h"
#include "cli/TerminalView.h"

#include <gtest/gtest.h>
#include <iostream>
#include <sstream>

namespace {

using qel::cli::TerminalDialogView;
using qel::cli::TerminalLine;
using qel::cli::TerminalView;

// Standard output and error go into strings while it lives.
class CapturedStreams {
public:
    CapturedStreams()
        : oldOut_(std::cout.rdbuf(out_.rdbuf())), oldErr_(std::cerr.rdbuf(err_.rdbuf())) {}
    ~CapturedStreams() {
        std::cout.rdbuf(oldOut_);
        std::cerr.rdbuf(oldErr_);
    }
    CapturedStreams(const CapturedStreams&) = delete;
    CapturedStreams& operator=(const CapturedStreams&) = delete;
    std::string out() const { return out_.str(); }
    std::string err() const { return err_.str(); }

private:
    std::ostringstream out_, err_;
    std::streambuf* oldOut_;
    std::streambuf* oldErr_;
};

const std::string cleared = "\r\x1b[K";

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(TerminalBar, TextShowsTheBytesTheRateAndTheTimeLeft) {
    struct Case {
        std::int64_t done, total;
        double seconds;
        bool waiting;
        std::string expected;
    };
    const Case cases[] = {
        {0, 2048, 0, false, "X [..............................] 0.0 KB of 2.0 KB"},
        {1024, 2048, 2, false,
         "X [###############...............] 1.0 KB of 2.0 KB  0.5 KB/s  0:02 left"},
        {2048, 2048, 2, false, "X [##############################] 2.0 KB of 2.0 KB"},
        // A keyboard may send more than it announced: the bar stops at full.
        {4096, 2048, 2, false, "X [##############################] 2.0 KB of 2.0 KB"},
        {-5, 2048, 2, false, "X [..............................] 0.0 KB of 2.0 KB"},
        {1024, 2048, 2, true,
         "X [###############...............] 1.0 KB of 2.0 KB  waiting for the keyboard..."},
        {61440, 122880, 1, false,
         "X [###############...............] 60.0 KB of 120.0 KB  60.0 KB/s  0:01 left"},
        {1024, 1024 * 181, 1, false,
         "X [..............................] 1.0 KB of 181.0 KB  1.0 KB/s  3:00 left"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qel::cli::barText("X", c.done, c.total, c.seconds, c.waiting), c.expected)
            << c.done << " of " << c.total;
}

// A listing asks the keyboard one value at a time: each request moves the
// dialog's bar from nothing to all, and none of them may draw.
TEST(TerminalBar, SingleRequestsAndAHiddenDialogDrawNothing) {
    CapturedStreams streams;
    TerminalLine line(true);
    TerminalDialogView dialog(line);
    dialog.setRange(100); // before any show, as the dialog sets itself up
    dialog.setPosition(0);
    for (int request = 0; request < 3; ++request) {
        dialog.setPosition(0);
        dialog.show();
        dialog.setPosition(100);
        dialog.hide();
    }
    // Requests with the window kept hidden move the bar without show().
    dialog.setRange(520);
    dialog.setPosition(128);
    dialog.setPosition(520);
    EXPECT_EQ(streams.err(), "");
    EXPECT_EQ(streams.out(), "");
}

TEST(TerminalBar, ATransferDrawsOneLineAndClearsItAtTheEnd) {
    CapturedStreams streams;
    TerminalLine line(true);
    TerminalDialogView dialog(line);
    dialog.setCaption("RHYTHM");
    dialog.setPosition(0);
    dialog.setRange(520);
    dialog.show();
    for (int done : {128, 256, 384, 512, 520})
        dialog.setPosition(done);
    dialog.hide();
    const std::string err = streams.err();
    EXPECT_EQ(err.rfind("\rRHYTHM [#######", 0), 0u) << err;
    EXPECT_NE(err.find("0.5 KB of 0.5 KB\x1b[K"), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), std::string::npos) << "one line, redrawn: " << err;
    EXPECT_TRUE(endsWith(err, cleared)) << err;
    EXPECT_EQ(err.find("0.0 KB of 0.0 KB"), std::string::npos);
}

TEST(TerminalBar, NothingIsDrawnWhenTheLineIsOff) {
    CapturedStreams streams;
    TerminalLine line(false);
    TerminalDialogView dialog(line);
    dialog.setRange(520);
    dialog.show();
    dialog.setPosition(128);
    dialog.hide();
    EXPECT_EQ(streams.err(), "");
}

// A whole action reports its bytes: one bar, never going back, the item's
// name on it; the transfers' own bars keep away while it stands.
TEST(TerminalBar, AWholeActionsBarNeverGoesBackAndKeepsTheTransferBarsAway) {
    CapturedStreams streams;
    TerminalLine line(true);
    TerminalView view(line, true, true);
    TerminalDialogView dialog(line);
    view.showProgress();
    qel::ProgressReporter& progress = view.progress();
    progress.setCaption("Backup");
    progress.setItem("USER RHYTHM 140 DEMO RH1");
    progress.setBytes(0, 4096);
    dialog.setRange(520);
    dialog.show();
    dialog.setPosition(128); // the transfer's bar stays away
    progress.setBytes(2048, 4096);
    progress.setBytes(1024, 4096); // a phase that starts its count again
    progress.setWaiting(true);
    dialog.hide();
    view.hideProgress();
    const std::string err = streams.err();
    EXPECT_EQ(err.rfind("\rBackup USER RHYTHM 140 DEMO RH1 [.....", 0), 0u) << err;
    EXPECT_EQ(err.find("Transferring"), std::string::npos) << err;
    EXPECT_EQ(err.find("1.0 KB of 4.0 KB"), std::string::npos) << "went back: " << err;
    EXPECT_NE(err.find("2.0 KB of 4.0 KB  waiting for the keyboard..."), std::string::npos) << err;
    EXPECT_TRUE(endsWith(err, cleared)) << err;
}

TEST(TerminalResult, AResultClearsTheBarAndGoesOnALineOfItsOwn) {
    struct Case {
        bool printSteps, printResults;
        std::string result, expected;
    };
    const Case cases[] = {
        {true, true, "Sent DEMO RH1.vdf into USER RHYTHM 141",
         "Sent DEMO RH1.vdf into USER RHYTHM 141\n"},
        {true, true, "Deleted USER RHYTHM 140 \"A\x1b[2J\"",
         "Deleted USER RHYTHM 140 \"A\\x1b[2J\"\n"},
        {true, true, "Cancelled", ""},              // the run's end says it, on standard error
        {true, false, "Initialized the mixer", ""}, // --quiet
        {false, true, "Initialized the mixer", ""}, // --json
    };
    for (const Case& c : cases) {
        CapturedStreams streams;
        TerminalLine line(true);
        TerminalView view(line, c.printSteps, c.printResults);
        TerminalDialogView dialog(line);
        dialog.setRange(520);
        dialog.show();
        dialog.setPosition(128);
        view.showResult(c.result);
        EXPECT_EQ(streams.out(), c.expected) << c.result;
        if (!c.expected.empty()) {
            EXPECT_TRUE(endsWith(streams.err(), cleared)) << streams.err();
        }
    }
}

} // namespace
