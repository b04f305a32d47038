#include "workflows/SnapshotWriter.h"

#include "core/Exception.h"
#include "workflows/BackupItemFile.h"
#include "workflows/BackupSnapshots.h"

#include <filesystem>
#include <set>
#include <system_error>

namespace qel {

namespace {

namespace fs = std::filesystem;

constexpr const char* stagingName = ".receiving";

void makeFolder(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    if (error)
        throw Exception("Can't create the folder: " + path + " (" + error.message() + ")");
}

// The manifest of `folder`, or nothing when it has none or one that cannot be read.
std::optional<BackupManifest> readQuietly(const std::string& folder) {
    try {
        return BackupManifest::read(folder);
    } catch (const Exception&) {
        return std::nullopt;
    }
}

} // namespace

SnapshotWriter::SnapshotWriter(const std::string& folder, std::int32_t model,
                               const std::string& modelName, const QDateTime& now)
    : folder_(folder) {
    manifest_.model = model;
    manifest_.modelName = modelName;
    manifest_.date = now.toUTC().toString(Qt::ISODate).toStdString();
    makeFolder(folder_);
    openSnapshot(now);
    indexPrevious();
    makeFolder(stagingFolder());
    if (!resuming())
        writeManifest(); // from now on the snapshot says what it holds
    lastWritten_ = std::chrono::steady_clock::now();
}

SnapshotWriter::~SnapshotWriter() {
    if (!ended_)
        abandon();
}

std::string SnapshotWriter::stagingFolder() const {
    return snapshots::inFolder(path_, stagingName) + "/";
}

void SnapshotWriter::openSnapshot(const QDateTime& now) {
    const std::vector<std::string> names = snapshots::list(folder_);
    if (!names.empty()) {
        const std::string newest = snapshots::inFolder(folder_, names.back());
        const std::optional<BackupManifest> earlier = readQuietly(newest);
        if (earlier && !earlier->complete && earlier->model == manifest_.model) {
            path_ = newest;
            interrupted_ = *earlier;
            manifest_.date = earlier->date;
            return;
        }
    }
    path_ = snapshots::inFolder(folder_, snapshots::newName(folder_, now.toLocalTime()));
    makeFolder(path_);
}

// The files of the newest complete snapshot of this keyboard, by content.
void SnapshotWriter::indexPrevious() {
    const std::vector<std::string> names = snapshots::list(folder_);
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        const std::string snapshot = snapshots::inFolder(folder_, *name);
        if (snapshot == path_)
            continue;
        const std::optional<BackupManifest> previous = readQuietly(snapshot);
        if (!previous || !previous->complete || previous->model != manifest_.model)
            continue;
        for (const BackupEntry& entry : previous->items) {
            const std::string path = snapshots::inFolder(snapshot, entry.file);
            previousFiles_.emplace(entry.sha256, path);
            previousSlots_.emplace(entry.file, std::make_pair(entry.sha256, path));
        }
        return;
    }
}

bool SnapshotWriter::keep(const BackupEntry& wanted) {
    const BackupEntry* finished = interrupted_.find(wanted.type, wanted.number);
    if (!finished || finished->name != wanted.name || finished->size != wanted.size ||
        finished->file != wanted.file ||
        fileSha256(snapshots::inFolder(path_, finished->file)) != finished->sha256)
        return false;
    manifest_.items.push_back(*finished);
    visited_.insert({finished->type, finished->number});
    ++kept_;
    return true;
}

void SnapshotWriter::add(BackupEntry entry, const std::string& receivedPath) {
    const std::string path = snapshots::inFolder(path_, entry.file);
    std::error_code error;
    fs::rename(receivedPath, path, error);
    if (error)
        throw Exception("Can't create the file: " + path + " (" + error.message() + ")");
    unrecorded_.push_back(entry.file);
    visited_.insert({entry.type, entry.number});
    readBackupItem(path, entry); // throws what a restore of it would
    entry.sha256 = fileSha256(path);
    if (entry.sha256.empty())
        throw Exception("Can't open the file: " + path);
    linkToPrevious(entry);
    manifest_.items.push_back(std::move(entry));
    ++received_;
    if (std::chrono::steady_clock::now() - lastWritten_ >= std::chrono::seconds(1))
        writeManifest();
}

// An unchanged item costs no disk: its file becomes a second name of the
// previous snapshot's file. Where that fails, the received copy stays.
void SnapshotWriter::linkToPrevious(const BackupEntry& entry) {
    // The same slot's file first, so that the snapshots read alike; any
    // equal file serves as well.
    std::string previous;
    if (const auto slot = previousSlots_.find(entry.file);
        slot != previousSlots_.end() && slot->second.first == entry.sha256)
        previous = slot->second.second;
    else if (const auto equal = previousFiles_.find(entry.sha256); equal != previousFiles_.end())
        previous = equal->second;
    if (previous.empty() || fileSha256(previous) != entry.sha256)
        return;
    const std::string path = snapshots::inFolder(path_, entry.file);
    const std::string link = snapshots::inFolder(stagingFolder(), entry.file + ".link");
    std::error_code error;
    fs::remove(link, error);
    fs::create_hard_link(previous, link, error);
    if (!error)
        fs::rename(link, path, error);
    if (error) {
        std::error_code ignored;
        fs::remove(link, ignored);
        return;
    }
    ++unchanged_;
}

// Until the run ends, the interrupted run's items that it has not come to
// yet stay recorded: they are still whole.
void SnapshotWriter::writeManifest() {
    BackupManifest recorded = manifest_;
    if (!manifest_.complete)
        for (const BackupEntry& entry : interrupted_.items)
            if (!visited_.count({entry.type, entry.number}))
                recorded.items.push_back(entry);
    recorded.write(path_);
    unrecorded_.clear();
    lastWritten_ = std::chrono::steady_clock::now();
}

void SnapshotWriter::finish() {
    manifest_.complete = true;
    writeManifest();
    ended_ = true;
    removeUnlisted();
    snapshots::pointLatestAt(folder_, fs::path(path_).filename().string());
}

void SnapshotWriter::abandon() noexcept {
    ended_ = true;
    try {
        writeManifest();
    } catch (...) {
        // The manifest on disk is the last one written: what it does not
        // record goes, so that it still lists exactly what the snapshot holds.
        for (const std::string& file : unrecorded_) {
            std::error_code ignored;
            fs::remove(snapshots::inFolder(path_, file), ignored);
        }
    }
    removeUnlisted();
}

// Files the manifest does not list: an interrupted receive's, or an earlier
// run's item that the keyboard no longer holds.
void SnapshotWriter::removeUnlisted() noexcept {
    try {
        const std::optional<BackupManifest> onDisk = readQuietly(path_);
        std::set<std::string> listed{BackupManifest::fileName};
        if (onDisk)
            for (const BackupEntry& entry : onDisk->items)
                listed.insert(entry.file);
        std::error_code error;
        fs::remove_all(stagingFolder(), error);
        std::vector<fs::path> unlisted;
        for (const fs::directory_entry& entry : fs::directory_iterator(path_, error)) {
            std::error_code ignored;
            if (!listed.count(entry.path().filename().string()) && entry.is_regular_file(ignored) &&
                !entry.is_symlink(ignored))
                unlisted.push_back(entry.path());
        }
        for (const fs::path& file : unlisted)
            fs::remove(file, error);
        if (!onDisk)
            fs::remove(path_, error); // an empty folder is no snapshot
    } catch (...) {
    }
}

} // namespace qel
