#pragma once

// The song converter's one entry point, exported with C linkage so that it can
// be imported by name.

#if defined(_WIN32)
#define QEL_SONGCONV_EXPORT __declspec(dllexport)
#else
#define QEL_SONGCONV_EXPORT __attribute__((visibility("default")))
#endif

// Result codes of FormatChange.
enum {
    FormatChangeDone = 0,
    FormatChangeBadArguments = 1,  // a null or empty path
    FormatChangeUnreadable = 2,    // the source cannot be read
    FormatChangeNotSmf = 3,        // the source is no valid Standard MIDI File
    FormatChangeUnwritable = 4,    // the destination cannot be written
};

extern "C" {

// Reads the Standard MIDI File at `source` and writes it at `destination` as a
// format 0 file: the tracks of a format 1 file merged in time order (ties keep
// track order), the division kept, one end-of-track at the end. Returns
// FormatChangeDone or one of the failure codes above. On any failure no
// destination file is created (an unfinished one is removed again).
QEL_SONGCONV_EXPORT int FormatChange(const char* source, const char* destination);
}
