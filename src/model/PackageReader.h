#pragma once

// Cuts a package file into its items for sending: the single items of slots 0
// to 3, 10 songs, 8 rhythms, and the tone and drum groups as nested packages
// with their wave data located through the wave index tables.

#include "model/PackageDirectory.h"
#include "model/VdfData.h"
#include "platform/files/FileBytes.h"

#include <string>

namespace qel::files {

class PackageReader {
public:
    // Opens the package file at `path`, whose directory was read when it was
    // loaded. Throws Exception "Can't open the file: " + path.
    PackageReader(const std::string& path, const ByteVector& directoryBlock, type::id type);

    // The items of the package by category. Every position and size is checked
    // against the file: one that reaches past its end throws "Illegal Format",
    // as do more tone groups or drum groups than the directory can describe.
    VdfDataChildren read();

private:
    void readFixedItems(category::id c, type::id t, std::uint32_t count, std::uint64_t offset,
                        std::vector<VdfDataPtr>& items);
    void readItemBytes(VdfData& item, std::uint64_t offset, std::uint32_t size);
    void readWaveData(int count, type::id t, std::uint64_t indexTable, std::uint64_t waveBase,
                      std::vector<VdfDataPtr>& items);
    // Group g of the tone groups (type 3) or drum groups (type 4), its wave
    // data found through `indexTable` from `waveBase` on.
    VdfDataPtr readGroup(type::id t, int g, std::uint64_t indexTable, std::uint64_t waveBase);
    ByteVector readInstFlags();
    // Reads `count` bytes at data offset `offset` (file offset 64 + offset).
    void readAt(std::uint64_t offset, std::uint64_t count, ByteVector& out);

    platform::FileBytes file_;
    PackageDirectory directory_;
    type::id type_;
};

} // namespace qel::files
