#pragma once

#include <string>

namespace qel {

// The one rule by which a name made of received bytes becomes a file name,
// for files in the data directory and on the card alike. `name` is the whole
// file name (item name and extension); the result is valid UTF-8 and can be
// created, listed and opened again on Linux, on a FAT-formatted card and on
// Windows, and always names a file inside the folder it is put in:
//  - path separators ('/', '\\'), the characters ? * : " < > | and the
//    control bytes 0x00-0x1F and 0x7F become '_';
//  - a byte of 0x80 or above is read as Latin-1 and written as that character
//    in UTF-8 (0xB0 becomes "°", the bytes C2 B0), except 0x80-0x9F, the
//    Latin-1 control characters, which become '_';
//  - a last character '.' or ' ' (which Windows and FAT drop) becomes '_';
//  - a first character '.' (a hidden file on Linux) becomes '_';
//  - a name that Windows keeps for a device (CON, PRN, AUX, NUL, COM1-COM9,
//    LPT1-LPT9, in any case, before the first '.') gets a leading '_';
//  - an empty name becomes "_".
// Every other byte stays, so "ABC     .z01" keeps its padding.
std::string safeFileName(const std::string& name);

// The item name that a file name stands for, the way back from safeFileName():
// every character U+0080-U+00FF written in UTF-8 becomes its one Latin-1 byte
// (so "°SMF-002" gives the bytes B0 "SMF-002" that the keyboard sent). Bytes
// that are no such character (ASCII, other characters, bytes of a name that
// is no UTF-8) stay as they are; what safeFileName() turned into '_' stays '_'.
std::string nameFromFileName(const std::string& fileName);

} // namespace qel
