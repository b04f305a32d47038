#pragma once

// The layout of a backup folder: one snapshot folder per backup, named by the
// local time it began ("2026-12-10 181500", "-2" appended when two begin in
// the same second), and "latest" naming the newest complete one. A folder
// that holds a manifest itself is a snapshot, or a backup made before
// snapshots existed; either restores as it is.

#include <QDateTime>
#include <optional>
#include <string>
#include <vector>

namespace qel::snapshots {

inline constexpr const char* latestName = "latest";

// "DIR/name", with one separator.
std::string inFolder(const std::string& folder, const std::string& name);

// The snapshot folder names in `folder`, oldest first.
std::vector<std::string> list(const std::string& folder);

// A name for a snapshot begun at `localTime` that no entry of `folder` has yet.
std::string newName(const std::string& folder, const QDateTime& localTime);

// Points folder/latest at the snapshot `name`: a relative symbolic link, or
// where the file system has none, a text file holding the name. Replaces the
// earlier one whole. Throws Exception naming the file and the reason.
void pointLatestAt(const std::string& folder, const std::string& name);

// The snapshot folder/latest names, when it names one that exists.
std::optional<std::string> latest(const std::string& folder);

// The folder a restore of `folder` reads: `folder` itself when it holds a
// manifest, else the snapshot "latest" names; nothing when neither.
std::optional<std::string> toRestore(const std::string& folder);

} // namespace qel::snapshots
