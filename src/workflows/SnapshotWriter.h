#pragma once

// Writes one backup snapshot, item by item, so that whatever ends the run
// leaves a snapshot that says exactly what it holds:
//  - the manifest marks the snapshot complete only in finish();
//  - after a failure, abandon() leaves a manifest listing exactly the whole
//    files of the snapshot (a file the manifest could not record is removed);
//  - every file is read back as a restore reads it before it is recorded;
//  - a file equal to one of the previous complete snapshot becomes a hard link
//    to it (a copy where the file system refuses links).
// A backup run begun while the newest snapshot is incomplete continues that
// snapshot and keeps the items it finished.

#include "workflows/BackupManifest.h"

#include <QDateTime>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace qel {

class SnapshotWriter {
public:
    // Opens the snapshot that a backup of keyboard `model` into `folder`
    // writes: the newest snapshot when it is incomplete and of that model,
    // otherwise a new one named by `now`. Throws Exception naming the folder
    // and the reason when it cannot be made.
    SnapshotWriter(const std::string& folder, std::int32_t model, const std::string& modelName,
                   const QDateTime& now);
    // Abandons a snapshot that was neither finished nor abandoned.
    ~SnapshotWriter();
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    // The snapshot folder.
    const std::string& path() const { return path_; }
    // Where received files wait until they are whole.
    std::string stagingFolder() const;
    // Whether this run continues an interrupted one, and when that began (UTC).
    bool resuming() const { return !interrupted_.items.empty(); }
    const std::string& interruptedDate() const { return interrupted_.date; }

    // Keeps the interrupted run's file of `wanted`'s slot when it was listed
    // with the same name and size and is still whole. False: receive it.
    bool keep(const BackupEntry& wanted);
    // Records the received file at `receivedPath` as `entry` (entry.file is its
    // name in the snapshot): moves it in, reads it back as a restore would
    // (throwing that error, with the file removed), and links it to an equal
    // file of the previous snapshot. Writes the manifest at least once a second.
    void add(BackupEntry entry, const std::string& receivedPath);
    // Marks the snapshot complete, writes its manifest and points "latest" at it.
    void finish();
    // Leaves the manifest of an incomplete snapshot; never throws.
    void abandon() noexcept;

    int kept() const { return kept_; }
    int received() const { return received_; }
    // Received files equal to the previous snapshot's, stored as links.
    int unchanged() const { return unchanged_; }
    std::size_t itemCount() const { return manifest_.items.size(); }

private:
    void openSnapshot(const QDateTime& now);
    void indexPrevious();
    void linkToPrevious(const BackupEntry& entry);
    void writeManifest();
    void removeUnlisted() noexcept;

    std::string folder_;
    std::string path_;
    BackupManifest manifest_;
    BackupManifest interrupted_;
    std::map<std::string, std::string> previousFiles_;                         // SHA-256 -> path
    std::map<std::string, std::pair<std::string, std::string>> previousSlots_; // file -> SHA, path
    std::vector<std::string> unrecorded_;   // files added since the manifest was last written
    std::set<std::pair<int, int>> visited_; // slots (type, number) this run has come to
    std::chrono::steady_clock::time_point lastWritten_;
    bool ended_ = false;
    int kept_ = 0;
    int received_ = 0;
    int unchanged_ = 0;
};

} // namespace qel
