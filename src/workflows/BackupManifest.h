#pragma once

// The manifest of one backup snapshot ("manifest.json"): which keyboard it
// came from, when, whether it is complete, and for every item its slot, name
// (as the keyboard's raw bytes), size and file, with the file's SHA-256, so
// that a restore can refuse a damaged snapshot and an interrupted backup can
// resume.

#include "core/Catalogue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qel {

struct BackupEntry {
    type::id type = type::UserTone;
    std::uint16_t no = 0;     // the position the keyboard list shows
    std::uint16_t number = 0; // the keyboard's memory number
    category::id category = category::Command;
    std::string name;      // the name's raw bytes on the keyboard, as it was listed
    std::int32_t size = 0; // the size on the keyboard, as it was listed
    std::string file;      // the file name inside the snapshot folder
    std::string sha256;    // of the file, lower-case hex
    std::string received;  // when it was received, ISO 8601 UTC; empty in older manifests
};

struct BackupManifest {
    std::int32_t model = 0;
    std::string modelName;
    std::string date; // when the snapshot was begun, ISO 8601, UTC
    // Set only when every item of the keyboard is in the snapshot. Manifests
    // written before snapshots existed have no such mark and count as complete.
    bool complete = false;
    std::vector<BackupEntry> items;

    static constexpr const char* fileName = "manifest.json";

    // Reads folder/manifest.json; nothing when the folder holds none. Throws
    // Exception "The backup manifest PATH is damaged (reason)" when it is
    // malformed: not JSON, a type or number out of range, two entries for one
    // slot or one file, or a file name that is not a plain name of the folder
    // (a separator, a control character, a leading '.', or the manifest itself).
    static std::optional<BackupManifest> read(const std::string& folder);
    // Writes folder/manifest.json whole or not at all; throws Exception
    // "Can't create the file: PATH (reason)" on failure.
    void write(const std::string& folder) const;

    // The entry of slot (type, number), or null.
    const BackupEntry* find(type::id type, std::uint16_t number) const;
};

// The SHA-256 of the file at `path` in lower-case hex; empty when it cannot be read.
std::string fileSha256(const std::string& path);

} // namespace qel
