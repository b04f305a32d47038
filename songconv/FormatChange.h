#pragma once

// The song converter's entry points, exported with C linkage so that they can
// be imported by name.

#include <stddef.h>

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
// track order), the division kept, one end-of-track at the end, channel
// messages written with running status, which SysEx and meta events cancel
// (see writeFormat0() in SmfWriter.h). Returns FormatChangeDone or one of the
// failure codes above. A file with anything after a track's end-of-track is
// refused like one without an end-of-track, so that no event is dropped.
//
// The result is written to a new file beside `destination` (created with
// O_CREAT | O_EXCL | O_NOFOLLOW and mode 0666 less the umask), which is then
// renamed to `destination`: a file or symbolic link already there is
// replaced, never written through. On any failure nothing is created or
// changed at `destination`.
QEL_SONGCONV_EXPORT int FormatChange(const char* source, const char* destination);

// FormatChange() that also tells why it failed: writes one line of text into
// `reason` (at most `reasonSize` bytes with the terminating zero, cut when
// longer), such as "unsupported SMF format 2", "track 2: no end-of-track" or
// "cannot read it: No such file or directory"; an empty text on success.
// `reason` may be null (then `reasonSize` is ignored). The text names neither
// path: the caller knows them.
QEL_SONGCONV_EXPORT int FormatChangeWithReason(const char* source, const char* destination,
                                               char* reason, size_t reasonSize);
}
