#pragma once

// Finding which MIDI input and output lead to the keyboard: every pair of an
// input and an output device is asked for the keyboard's model code through a
// MIDI dialog of its own, with a short reply time-out, until one answers.
//
// Each dialog is made in an environment of the search's own that names the
// pair being tried, so the user's chosen devices stay as they are whatever
// the search finds; storing the pair found is the caller's choice.
//
// Runs on the thread that owns the driver's devices (the UI thread), and, like
// every MIDI dialog, handles that thread's events while it waits.

#include "core/ProgressReporter.h"
#include "platform/midi/MidiDriver.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qel {

// One input device and one output device, by the product names the driver lists.
struct MidiPair {
    std::string input;
    std::string output;
    friend bool operator==(const MidiPair&, const MidiPair&) = default;
};

// The pairs in the order the search tries them. A name listed twice (letter
// case aside) counts once, as a stored name can only ever open the first of
// them. Pairs of the same name come first, in input order: a USB cable lists
// its two ends under one name, so the likely answer comes quickly. Then every
// other pair, inputs in list order, each with the outputs in list order. The
// built-in virtual keyboard's own pair comes last, so that it is taken only
// when no connected device answers; pairs of it with another device are left
// out.
std::vector<MidiPair> keyboardSearchOrder(const std::vector<std::string>& inputs,
                                          const std::vector<std::string>& outputs);

struct KeyboardSearch {
    enum class Outcome {
        Found,        // `pair` answered with the known model `model`
        NoneAnswered, // every pair was tried; none answered (also: no devices)
        Cancelled     // the progress asked to stop before a pair answered
    };
    Outcome outcome = Outcome::NoneAnswered;
    MidiPair pair;
    std::uint16_t model = 0;
    // How many pairs were asked, the one that answered included.
    int pairsTried = 0;
    // How many pairs there were to try.
    int pairsTotal = 0;
};

// The default time each pair has to answer: a keyboard answers a parameter
// request within a few milliseconds; this leaves a loaded machine ample room.
inline constexpr std::chrono::milliseconds keyboardSearchReplyTimeout{300};

// Asks each pair of `driver`'s devices in keyboardSearchOrder() for the model
// code, each with `replyTimeout`, and stops at the first that answers with the
// code of a known model. A pair whose ports do not open, that stays silent,
// answers with something malformed, or only echoes the request back (a MIDI
// "through" port; the echo reads as model 0) does not count as an answer.
// `progress`, when given, gets a caption naming the pair being tried and a
// position counting pairs; the search checks its cancelRequested() before each
// pair. Never throws for anything a device does.
KeyboardSearch findKeyboard(const std::shared_ptr<midi::Driver>& driver,
                            std::chrono::milliseconds replyTimeout = keyboardSearchReplyTimeout,
                            ProgressReporter* progress = nullptr);

} // namespace qel
