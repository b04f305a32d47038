#pragma once

// One file of the memory card folder "VORLA_MD": the item bytes of a PC file
// without the container header, or a converted song, named after the item
// with the card extension of its type.

#include "core/ByteVector.h"
#include "core/Catalogue.h"

#include <cstdint>
#include <string>

namespace qel {

class VdfData;

class CardData {
public:
    // A file found in the card folder, for the card list. Takes name,
    // extension (lower-cased), type and category from the path and the size
    // from the file; reads no bytes. A file whose extension is none of the 11
    // card extensions has no type (hasType() is false); a file that cannot be
    // opened gets size 0.
    explicit CardData(const std::string& path);

    // Prepares the card file for the PC file `source` (made from a PC file
    // path) in `cardFolder` (which ends with a path separator). The file name
    // is safeFileName(source's entry name + extension). Reads the PC file now:
    // a song through the song converter (see convertSong()), any other file
    // from byte 64 on. Throws Exception "Can't open the file: " + path when
    // the PC file cannot be read (for a song, with the converter's reason),
    // and "Illegal Format" when a container file is shorter than its 64-byte
    // header or a single item is larger than the keyboard's data area
    // (KbdData::maximumItemSize).
    CardData(const std::string& cardFolder, const VdfData& source);

    // Writes the prepared bytes to path(), replacing a file of that name only
    // once every byte was written, then drops them. Throws Exception "Can't
    // create the file: " + path + " (REASON)", the system's reason, on any
    // failure; an earlier file of that name stays as it was, and no temporary
    // file stays on the card. Temporary files that an interrupted earlier
    // write left in the card folder (its process killed, the card pulled) are
    // removed first.
    void write();

    // The file date of path() as packed DOS date and time; all ones when the
    // file does not exist.
    std::uint32_t fileTime() const;

    // Whether the extension is one of the 11 card extensions; category() and
    // type() mean something only then.
    bool hasType() const { return hasType_; }
    category::id category() const { return category_; }
    type::id type() const { return type_; }
    const std::string& path() const { return path_; }
    // The file name without its extension.
    const std::string& name() const { return name_; }
    // The extension with its point, lower case.
    const std::string& extension() const { return extension_; }
    std::uint32_t size() const { return size_; }
    // The bytes to be written; empty for a listed file and after write().
    const ByteVector& data() const { return data_; }

private:
    category::id category_ = category::Command;
    type::id type_ = type::UserTone;
    bool hasType_ = false;
    std::string path_;
    std::string name_;
    std::string extension_;
    std::uint32_t size_ = 0;
    ByteVector data_;
};

} // namespace qel
