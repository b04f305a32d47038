#pragma once

// One user-data item on the PC side: a whole PC file (a container file ".vdf"
// or a song file ".mid") or one item held inside a package.
//
// Made in three ways:
//  - from a PC file path: recognises the file by content and reads its header
//    (and package directory), not its item data;
//  - from a keyboard item received from the keyboard, before it is saved;
//  - empty, with a category and type, as one item of a package being read.
//
// The file operations (constructor from a path, save(), loadForSending()) live
// in VdfDataLoading.cpp, VdfDataSaving.cpp and VdfDataSending.cpp; the
// constructor from a keyboard item in VdfFromKbd.cpp.

#include "core/ByteVector.h"
#include "core/Catalogue.h"
#include "model/VdfDataCategory.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qel {

class KbdData;
class VdfData;
using VdfDataPtr = std::shared_ptr<VdfData>;

// The items of a package by category, in ascending (unsigned) category order,
// each vector in file order. Package items (0x8000) sort last.
using VdfDataChildren = std::map<category::id, std::vector<VdfDataPtr>>;

class VdfData {
public:
    // Size of the container header at the start of every container file.
    static constexpr std::size_t headerSize = 64;
    // Size of the package directory that follows the header of a package.
    static constexpr std::size_t directorySize = 512;

    // Recognises and loads the PC file at `path`: a song file when it begins
    // with "MThd", a container file when it begins with "VORLA Music Lib" and
    // a zero byte. Reads the header (and a package's directory) and derives
    // the entry name; data() stays empty. Throws Exception "Illegal Format"
    // for any other content, a file shorter than its header or directory, a
    // header whose category has no category class or whose type is unknown,
    // or a file that cannot be opened at all; "Can't open the file: " + path
    // when the file cannot be read again for its header; "Not a regular
    // file: " + path for a FIFO, device, folder or socket (refused at once,
    // never waited on).
    explicit VdfData(const std::string& path);

    // Builds the file image of an item received from the keyboard, to be
    // saved in `directory` (which ends with a path separator). Moves the
    // item's bytes out of it. Defined in VdfFromKbd.cpp.
    VdfData(const std::string& directory, const std::shared_ptr<KbdData>& item);

    // An empty item of a package being read: no path, name, header or data,
    // size 0; the wave flag is set for the types 3 and 4 (tone and drum groups).
    VdfData(category::id category, type::id type);

    VdfData(const VdfData&) = delete;
    VdfData& operator=(const VdfData&) = delete;

    category::id category() const { return category_; }
    type::id type() const { return type_; }
    const std::string& path() const { return path_; }
    // Where save() writes; the entry name stays as it is.
    void setPath(const std::string& path) { path_ = path; }
    // The entry name, normally 8 characters padded with spaces.
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }
    std::uint32_t size() const { return size_; }
    void setSize(std::uint32_t size) { size_ = size; }
    // Container header bytes 24-25: the number of non-empty items of a package.
    std::uint16_t itemCount() const { return itemCount_; }
    bool waveFlag() const { return waveFlag_; }
    void setWaveFlag(bool flag) { waveFlag_ = flag; }

    // The 64-byte container header (empty for songs and package items).
    const ByteVector& header() const { return header_; }
    // Bytes written between header and data (a built package's directory and tables).
    const ByteVector& prefix() const { return prefix_; }
    // The 512-byte package directory as read from a package file; empty otherwise.
    const ByteVector& directoryBlock() const { return directoryBlock_; }
    ByteVector& data() { return data_; }
    const ByteVector& data() const { return data_; }
    VdfDataChildren& children() { return children_; }
    const VdfDataChildren& children() const { return children_; }

    // The modification time of the file at path() as packed DOS date (high 16
    // bits) and time; all ones when the file does not exist.
    std::uint32_t fileTime() const;

    // Writes the container file at path(): header, prefix, data, then the
    // header, prefix and data of the children of the categories 12, 2, 3, 5,
    // 4, 6, 7, 8 in that order. The file is replaced only when every byte was
    // written; on any failure throws Exception "Can't create the file: " +
    // path, followed by the system's reason in parentheses ("No space left on
    // device"), and the earlier file stays as it was. Derives the name
    // afresh from the written file.
    void save();

    // Fills data() (single items, songs) or children() (packages) from the
    // file, ready to be sent. Songs are converted to format 0 first. Throws
    // "Can't open the file: " + path when the file cannot be read (for a
    // song, with the converter's reason; see convertSong()), and "Illegal
    // Format" when a size or offset from the header or package directory
    // reaches past the end of the file or a single item (or converted song)
    // is larger than the keyboard's data area (KbdData::maximumItemSize).
    void loadForSending();

    // The bytes that a send of this item moves to the keyboard, after
    // loadForSending(): its data and its children's, at any depth. This, not
    // the file's size, is what the keyboard's memory must hold.
    std::uint64_t bytesToSend() const;

private:
    // Makes the category object for category_, takes the entry name from it
    // and the category number back from it. Throws "Illegal Format" when the
    // category has no class.
    void attachCategory();

    void readContainerHeader(const std::string& path);
    void readPackage();
    void readSong();
    void readSingleItem();

    category::id category_ = category::Command;
    type::id type_ = type::UserTone;
    std::string path_;
    std::unique_ptr<VdfDataCategory> categoryObject_;
    std::uint32_t size_ = 0;
    std::uint16_t itemCount_ = 0;
    std::string name_;
    bool waveFlag_ = false;
    ByteVector directoryBlock_;
    ByteVector prefix_;
    ByteVector header_;
    ByteVector data_;
    VdfDataChildren children_;
};

} // namespace qel
