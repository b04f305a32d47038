#pragma once

// The manifest of a whole-keyboard backup folder ("manifest.json"): which
// keyboard it came from, when, and for every item its slot, name, size and
// file, with the file's SHA-256, so that a restore can refuse a damaged
// folder and a repeated backup can skip what it already holds.

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
    std::string name;      // the name on the keyboard, as it was listed
    std::int32_t size = 0; // the size on the keyboard, as it was listed
    std::string file;      // the file name inside the backup folder
    std::string sha256;    // of the file, lower-case hex
};

struct BackupManifest {
    std::int32_t model = 0;
    std::string modelName;
    std::string date; // ISO 8601, UTC
    std::vector<BackupEntry> items;

    static constexpr const char* fileName = "manifest.json";

    // Reads folder/manifest.json; nothing when the folder holds none. Throws
    // Exception when the manifest cannot be read or is malformed: a type or
    // number out of range, or a file name that leaves the folder.
    static std::optional<BackupManifest> read(const std::string& folder);
    // Writes folder/manifest.json whole or not at all; throws Exception
    // "Can't create the file: " + path on failure.
    void write(const std::string& folder) const;

    // The entry of slot (type, number), or null.
    const BackupEntry* find(type::id type, std::uint16_t number) const;
};

// The SHA-256 of the file at `path` in lower-case hex; empty when it cannot be read.
std::string fileSha256(const std::string& path);

} // namespace qel
