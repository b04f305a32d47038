#include "workflows/BackupSnapshots.h"

#include "core/Exception.h"
#include "platform/files/AtomicFileWriter.h"
#include "platform/files/FileBytes.h"
#include "workflows/BackupManifest.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace qel::snapshots {

namespace {

namespace fs = std::filesystem;

const QRegularExpression& namePattern() {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2} \\d{6})(?:-(\\d{1,4}))?$"));
    return pattern;
}

bool isSnapshotName(const std::string& name) {
    return namePattern().match(QString::fromStdString(name)).hasMatch();
}

// Orders "… 181500" < "… 181500-2" < "… 181500-10" < "… 181501".
bool olderThan(const std::string& a, const std::string& b) {
    const auto ma = namePattern().match(QString::fromStdString(a));
    const auto mb = namePattern().match(QString::fromStdString(b));
    if (ma.captured(1) != mb.captured(1))
        return ma.captured(1) < mb.captured(1);
    return ma.captured(2).toInt() < mb.captured(2).toInt();
}

bool isFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

} // namespace

std::string inFolder(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::vector<std::string> list(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        std::error_code ignored;
        if (isSnapshotName(name) && entry.is_directory(ignored) && !entry.is_symlink(ignored))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), olderThan);
    return names;
}

std::string newName(const std::string& folder, const QDateTime& localTime) {
    const std::string base = localTime.toString(QStringLiteral("yyyy-MM-dd HHmmss")).toStdString();
    std::string name = base;
    std::error_code error;
    for (int n = 2;
         fs::symlink_status(inFolder(folder, name), error).type() != fs::file_type::not_found; ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

void pointLatestAt(const std::string& folder, const std::string& name) {
    const std::string path = inFolder(folder, latestName);
    const std::string fresh = path + ".new-" + std::to_string(QCoreApplication::applicationPid());
    std::error_code error;
    fs::remove(fresh, error);
    fs::create_symlink(name, fresh, error);
    if (!error) {
        fs::rename(fresh, path, error);
        if (!error)
            return;
        std::error_code ignored;
        fs::remove(fresh, ignored);
        throw Exception("Can't create the file: " + path + " (" + error.message() + ")");
    }
    // A card or a shared folder may hold no links: the name, as text, does.
    platform::AtomicFileWriter writer(path);
    const std::string text = name + "\n";
    if (!writer.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) ||
        !writer.commit())
        throw Exception(writer.failureText());
}

std::optional<std::string> latest(const std::string& folder) {
    const std::string path = inFolder(folder, latestName);
    std::error_code error;
    std::string name;
    if (fs::is_symlink(path, error)) {
        name = fs::read_symlink(path, error).string();
    } else if (fs::is_regular_file(path, error)) {
        platform::FileBytes file(path);
        std::vector<std::uint8_t> bytes;
        if (file.isOpen() && file.size() < 64)
            file.read(0, file.size(), bytes);
        name.assign(bytes.begin(), bytes.end());
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
    }
    // Only a snapshot of this folder: never a link that leads elsewhere.
    if (!isSnapshotName(name) || !isFolder(inFolder(folder, name)))
        return std::nullopt;
    return inFolder(folder, name);
}

std::optional<std::string> toRestore(const std::string& folder) {
    std::error_code error;
    if (fs::exists(inFolder(folder, BackupManifest::fileName), error))
        return folder;
    return latest(folder);
}

} // namespace qel::snapshots
