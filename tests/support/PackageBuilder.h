#pragma once

// Builds the bytes of container files for tests: single items and packages
// with every slot (registrations, DSPs, drawbar organs, tones, 10 songs,
// 8 rhythms, tone groups, drum groups), laid out as the package directory
// describes them, so that tests read real bytes.

#include "core/ByteVector.h"
#include "core/Catalogue.h"
#include "support/TestFiles.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qel::test {

// Recognisable content of one item: every byte depends on the category, the
// group (-1 outside groups), the index and the position.
ByteVector itemContent(category::id c, int group, int index, std::size_t size);

// A single-item container file: 64-byte header and `data`. The header's size
// field is data.size() unless `sizeField` is given.
ByteVector singleItemFile(category::id c, type::id t, const ByteVector& data,
                          std::int64_t sizeField = -1);

class PackageBuilder {
public:
    explicit PackageBuilder(type::id type = type::Package);

    // Slot 0: 4 × banks registrations; slots 1 to 3.
    PackageBuilder& registrations(int banks);
    PackageBuilder& dsps(int count);
    PackageBuilder& drawbarOrgans(int count);
    PackageBuilder& tones(int count);
    // Song entry i (0 to 9) with its name and size (0: empty).
    PackageBuilder& song(int i, const std::string& name, std::uint32_t size);
    // Rhythm entry i (0 to 7); its name is put at its data offset 2.
    PackageBuilder& rhythm(int i, const std::string& name, std::uint32_t size);
    // A tone group with 64 wave data items of the given sizes (0: absent,
    // written as FF FF FF FF in the wave index table).
    PackageBuilder& toneGroup(const std::vector<std::uint32_t>& waveSizes);
    // A drum group with 128 wave data items and the inst flag table (128 bytes).
    PackageBuilder& drumGroup(const std::vector<std::uint32_t>& waveSizes,
                              const ByteVector& instFlags = ByteVector(128, 0));

    // The whole file: header, directory, inst flags, wave index tables, items.
    ByteVector build() const;

    // Data offsets of parts of the last build() (file offset = 64 + data offset).
    std::uint32_t songOffset(int i) const { return songOffsets_[static_cast<std::size_t>(i)]; }
    std::uint32_t toneIndexOffset() const { return toneIndexOffset_; }

private:
    type::id type_;
    int registrationBanks_ = 0, dsps_ = 0, drawbars_ = 0, tones_ = 0;
    std::array<std::string, 10> songNames_;
    std::array<std::uint32_t, 10> songSizes_{};
    std::array<std::string, 8> rhythmNames_;
    std::array<std::uint32_t, 8> rhythmSizes_{};
    std::vector<std::vector<std::uint32_t>> toneGroups_;
    std::vector<std::vector<std::uint32_t>> drumGroups_;
    ByteVector instFlags_ = ByteVector(128, 0);
    mutable std::array<std::uint32_t, 10> songOffsets_{};
    mutable std::uint32_t toneIndexOffset_ = 0;
};

} // namespace qel::test
