#include "core/MessageDetails.h"

#include <string_view>

namespace qel {

namespace {

std::string seconds(std::chrono::milliseconds duration) {
    const auto count = duration.count();
    if (count % 1000 == 0)
        return std::to_string(count / 1000) + " s";
    return std::to_string(count / 1000) + "." + std::to_string(count % 1000 / 100) + " s";
}

bool startsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

std::string_view afterColon(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return {};
    std::string_view rest = text.substr(colon + 1);
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    return rest;
}

constexpr std::string_view checkDevices =
    "Check the MIDI cables and the devices in File > Preferences.";

} // namespace

std::string messageDetail(const std::string& text, std::chrono::milliseconds replyTimeout) {
    if (text == "MIDI TIMEOUT")
        return "The keyboard did not answer within " + seconds(replyTimeout) + ". " +
               std::string(checkDevices);
    if (text == "MESSAGE REJECTED")
        return "The keyboard refused a message: it may be busy in another mode (a song or a "
               "demo playing, a menu open), or the item does not suit this model. Stop what "
               "the keyboard is doing, then try again.";
    if (text == "SYSEX ERROR")
        return "A data block arrived damaged or out of order, so it was not taken: nothing "
               "half-received was saved. A loose cable or a busy MIDI interface causes this; "
               "try again, and check the cables if it happens again.";
    if (text == "Memory Full")
        return "The keyboard has not enough free memory for this, or no free slot. Nothing was "
               "changed. Delete items on the keyboard (receive them first to keep them), then "
               "try again.";
    if (text == "Illegal Format")
        return "The file or the keyboard's reply is not in the format this program reads: it "
               "may be damaged, or of another kind of file. Nothing was changed.";
    if (text == "Unknown Keyboard")
        return "The keyboard answered with a model code this program does not know. Check that "
               "the MIDI devices in File > Preferences lead to a TQ-7400 family keyboard.";
    if (startsWith(text, "MIDI SYSTEM ERROR"))
        return "The computer's MIDI system refused the operation. Check that the MIDI interface "
               "is plugged in and that the devices in File > Preferences still exist.";
    if (startsWith(text, "No Such MIDI Device")) {
        if (afterColon(text).empty())
            return "No MIDI device is chosen yet. Choose the keyboard's input and output "
                   "devices in File > Preferences.";
        return "That MIDI device is not connected now. Plug it in, or choose another in "
               "File > Preferences.";
    }
    if (startsWith(text, "The keyboard is in use by"))
        return "Only one program can talk to the keyboard at a time. Close the other program, "
               "or wait until it has finished, then try again.";
    if (startsWith(text, "Can't create the file") || startsWith(text, "Can't create the folder"))
        return "The folder cannot be written: check that it exists, that you may write into "
               "it, and that the disk is not full.";
    if (startsWith(text, "Can't open the file"))
        return "The file cannot be read: check that it still exists and that you may read it.";
    if (startsWith(text, "The MIDI connection to the keyboard"))
        return std::string(checkDevices);
    return {};
}

} // namespace qel
