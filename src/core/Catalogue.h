#pragma once

// The two enumerations that classify all user data, and their constant tables.
// Every unit uses these one definitions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

namespace category {
// The kind of one data block as the keyboard stores it; its low 8 bits are the
// category byte of every SysEx message. Compares as an unsigned value, so the
// package category sorts last.
enum id : std::uint16_t {
    Command = 0,
    Patch = 1,
    Tone = 2,
    Timbre = 3,
    Drum = 4,
    Voice = 5,
    Inst = 6,
    Wave = 7,
    WaveData = 8,
    DSP = 9,
    Song = 10,
    Rhythm = 11,
    Registration = 12,
    DrawbarOrgan = 13,
    AnalogSynth = 14,
    Reserved = 15, // no name, no parameters, no data
    SMF = 16,
    // A composite item holding items of other categories. Never sent on the wire.
    Package = 0x8000,
};

// Number of categories with table entries (0 to 16).
inline constexpr int count = 17;
} // namespace category

namespace type {
// The user-visible data type; decides the memory card file extension.
// Never sent on the wire.
enum id : std::uint8_t {
    UserTone = 0,
    UserDsp = 1,
    UserDrawbarOrgan = 2,
    UserToneWithWave = 3,
    UserDrumWithWave = 4,
    UserRhythm = 5,
    Registration = 6,
    Song = 7,
    Smf = 8,
    Package = 9,
    AllUserData = 10,
};

// Number of types (0 to 10).
inline constexpr int count = 11;
// Types 0 to 9 are offered by the data type selector; "ALL USER DATA" is not.
inline constexpr int selectableCount = 10;
} // namespace type

// Category names, indexed by category::id 0-16.
inline constexpr const char* const categoryNames[category::count] = {
    "Command",      "Patch",         "Tone",         "Timber", "Drum", "Voice",
    "Inst",         "Wave",          "Wave Data",    "DSP",    "Song", "Rhythm",
    "Registration", "Drawbar Organ", "Analog Synth", "",       "SMF",
};

// The name of any category number: "Package" for 0x8000, "category N" for
// a number with no name; never reads outside the table.
inline std::string categoryName(unsigned category) {
    if (category < static_cast<unsigned>(category::count) && *categoryNames[category] != '\0')
        return categoryNames[category];
    if (category == category::Package)
        return "Package";
    return "category " + std::to_string(category);
}

// Group captions shown by the MIDI dialog window, indexed by category::id 0-16.
inline constexpr const char* const groupCaptions[category::count] = {
    "",
    "",
    "TONE",
    "TONE WITH WAVE",
    "DRUM WITH WAVE",
    "TONE WITH WAVE",
    "DRUM WITH WAVE",
    "WAVE",
    "WAVE",
    "DSP",
    "SONG",
    "RHYTHM",
    "REGISTRATION",
    "DRAWBAR ORGAN",
    "ANALOG SYNTH",
    "",
    "SMF",
};

// List labels, indexed by type::id 0-10.
inline constexpr const char* const typeLabels[type::count] = {
    "USER TONE",
    "USER DSP",
    "USER DRAWBAR ORGAN",
    "USER TONE WITH WAVE",
    "USER DRUM WITH WAVE",
    "USER RHYTHM",
    "REGISTRATION",
    "SONG",
    "SMF",
    "PACKAGE",
    "ALL USER DATA",
};

// Memory card file extensions (with the point, lower case), indexed by type::id 0-10.
inline constexpr const char* const typeExtensions[type::count] = {
    ".z05", ".z07", ".z04", ".z06", ".z03", ".z00", ".z01", ".z02", ".mid", ".z08", ".z09",
};

// The category each type stands for, indexed by type::id 0-10. Signed: the
// package category is stored as -32768, the bit pattern 0x8000.
inline constexpr std::int16_t categoryOfType[type::count] = {
    category::Tone,   category::DSP,          category::DrawbarOrgan, -32768,        -32768,
    category::Rhythm, category::Registration, category::Song,         category::SMF, -32768,
    -32768,
};

// The category of a type as an unsigned category::id (0x8000 for packages).
inline category::id categoryOf(type::id t) {
    return static_cast<category::id>(static_cast<std::uint16_t>(categoryOfType[t]));
}

// The type whose card extension equals `extension` exactly (same length, same
// bytes; the point included). No lower-casing is done here.
std::optional<type::id> typeOfExactExtension(std::string_view extension);

// The type of a file extension such as ".Z05": the extension is lower-cased
// (ASCII) and then compared exactly with the 11 extensions in type order.
// Gives nothing when no extension matches.
std::optional<type::id> typeOfExtension(std::string_view extension);

} // namespace qel
