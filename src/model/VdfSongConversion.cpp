#include "model/VdfSongConversion.h"

#include "core/Exception.h"
#include "model/KbdData.h"
#include "platform/files/FileBytes.h"
#include "platform/files/TemporaryFiles.h"
#include "songconv/FormatChange.h"

namespace qel {

ByteVector convertSong(const std::string& source) {
    const std::string failure = "Can't open the file: " + source + " (";
    // Removed with the converted file when the conversion ends, however it ends.
    const platform::PrivateTemporaryFolder folder;
    if (!folder.isValid())
        throw Exception(failure + "no private temporary folder: " + folder.error() + ")");
    const std::string temporary = folder.path() + "song.mid";
    char reason[256] = {};
    if (FormatChangeWithReason(source.c_str(), temporary.c_str(), reason, sizeof reason) !=
        FormatChangeDone)
        throw Exception(failure + reason + ")");
    platform::FileBytes file(temporary);
    if (!file.isOpen())
        throw Exception(failure + "the converted song cannot be read)");
    if (file.size() > std::uint64_t{KbdData::maximumItemSize})
        throw Exception("Illegal Format");
    ByteVector bytes;
    if (!file.read(0, file.size(), bytes))
        throw Exception(failure + "the converted song cannot be read)");
    return bytes;
}

} // namespace qel
