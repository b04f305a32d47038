#include "workflows/BackupItemFile.h"

#include "core/Exception.h"
#include "core/NameText.h"
#include "model/KbdData.h"
#include "platform/files/FileBytes.h"

#include <filesystem>

namespace qel {

namespace {

std::unique_ptr<VdfData> readSmfAsItIs(const std::string& path) {
    auto file = std::make_unique<VdfData>(category::SMF, type::Smf);
    platform::FileBytes bytes(path);
    if (!bytes.isOpen())
        throw Exception("the file cannot be opened");
    if (bytes.size() > static_cast<std::uint64_t>(KbdData::maximumItemSize))
        throw Exception("the file is larger than the keyboard's memory");
    ByteVector data;
    if (!bytes.read(0, bytes.size(), data))
        throw Exception("the file cannot be read");
    file->setSize(static_cast<std::uint32_t>(data.size()));
    if (data.size() % 2 != 0)
        data.push_back(0x00); // items travel in byte pairs
    file->data() = std::move(data);
    return file;
}

std::unique_ptr<VdfData> readContainer(const std::string& path, const BackupEntry& entry) {
    auto file = std::make_unique<VdfData>(path);
    if (file->type() != entry.type)
        throw Exception(std::string("the file holds a ") + typeLabels[file->type()] +
                        " item, not a " + typeLabels[entry.type] + " item");
    file->loadForSending();
    return file;
}

} // namespace

std::string describeBackupEntry(const BackupEntry& entry) {
    return std::string(typeLabels[entry.type]) + " " + std::to_string(entry.no) + " \"" +
           terminalName(entry.name) + "\"";
}

std::unique_ptr<VdfData> readBackupItem(const std::string& path, const BackupEntry& entry) {
    try {
        std::error_code error;
        if (!std::filesystem::exists(path, error))
            throw Exception("the file is missing");
        // A FIFO or a device would block the read or never end.
        if (!std::filesystem::is_regular_file(path, error))
            throw Exception("it is not a regular file");
        std::unique_ptr<VdfData> file =
            entry.type == type::Smf ? readSmfAsItIs(path) : readContainer(path, entry);
        if (entry.type == type::Smf || entry.type == type::UserRhythm)
            file->setName(entry.name); // sent after the data, exactly as it was listed
        return file;
    } catch (const Exception& error) {
        throw Exception("Can't restore " + path + " (" + describeBackupEntry(entry) +
                        "): " + error.message());
    }
}

} // namespace qel
