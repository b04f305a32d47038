// Recognising a PC file by its content and reading its header: the VdfData
// constructor from a path.

#include "core/Exception.h"
#include "model/BigEndian.h"
#include "model/ContainerLayout.h"
#include "model/PackageDirectory.h"
#include "model/VdfData.h"
#include "platform/files/FileBytes.h"

#include <algorithm>

namespace qel {
namespace {

bool isSongStart(const ByteVector& start) {
    static constexpr std::uint8_t tag[] = {'M', 'T', 'h', 'd'};
    return start.size() >= 4 && std::equal(tag, tag + 4, start.begin());
}

bool isContainerStart(const ByteVector& start) {
    const auto& signature = files::containerSignature;
    return start.size() >= files::header::signatureEnd + 1 &&
           std::equal(signature.begin(), signature.end(), start.begin()) &&
           start[files::header::signatureEnd] == 0x00;
}

} // namespace

VdfData::VdfData(const std::string& path) : path_(path) {
    platform::FileBytes file(path);
    // A file that cannot be opened at all is not recognised; one that is no
    // regular file says so.
    if (!file.isOpen())
        throw Exception(file.isNotRegular() ? file.failureText() : "Illegal Format");
    ByteVector start;
    file.read(0, std::min<std::uint64_t>(file.size(), files::header::signatureEnd + 1), start);
    if (isSongStart(start)) {
        // A song file: no header; its size is the file's.
        if (file.size() > 0xFFFFFFFFu)
            throw Exception("Illegal Format");
        size_ = static_cast<std::uint32_t>(file.size());
        category_ = category::SMF;
        attachCategory();
        type_ = type::Smf;
        return;
    }
    if (!isContainerStart(start))
        throw Exception("Illegal Format");
    readContainerHeader(path);
}

void VdfData::readContainerHeader(const std::string& path) {
    platform::FileBytes file(path);
    if (!file.isOpen())
        throw Exception(file.failureText());
    if (!file.read(0, headerSize, header_))
        throw Exception("Illegal Format"); // shorter than its header
    size_ = files::readBigEndian(header_, files::header::itemSize, 4);
    category_ =
        static_cast<category::id>(files::readBigEndian(header_, files::header::category, 2));
    itemCount_ =
        static_cast<std::uint16_t>(files::readBigEndian(header_, files::header::itemCount, 2));
    const std::uint8_t type = header_[files::header::type];
    // The type decides the list and the card extension: only the 11 known.
    if (type >= type::count)
        throw Exception("Illegal Format");
    type_ = static_cast<type::id>(type);

    prefix_.clear();
    if (category_ == category::Package) {
        if (!file.read(headerSize, directorySize, directoryBlock_))
            throw Exception("Illegal Format"); // shorter than its directory
        const std::uint64_t sum = files::PackageDirectory(directoryBlock_).sizeFieldSum();
        if (sum > 0xFFFFFFFFu)
            throw Exception("Illegal Format");
        size_ = static_cast<std::uint32_t>(sum);
    }
    attachCategory();
}

} // namespace qel
