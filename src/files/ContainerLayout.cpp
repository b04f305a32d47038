#include "files/ContainerLayout.h"

#include "files/BigEndian.h"

#include <algorithm>

namespace qel::files {

std::uint32_t fixedItemSize(category::id c) {
    switch (c) {
    case category::Registration: return 240;
    case category::DSP: return 36;
    case category::DrawbarOrgan: return 92;
    case category::Tone: return 70;
    case category::Timber: return 40;
    case category::Voice: return 266;
    case category::Wave: return 46;
    case category::Drum: return 1056;
    case category::Inst: return 50;
    default: return 0;
    }
}

ByteVector makeContainerHeader(std::uint32_t size, category::id category,
                               std::uint16_t itemCount, type::id type) {
    ByteVector bytes(header::size, 0x00);
    std::copy(containerSignature.begin(), containerSignature.end(), bytes.begin());
    writeBigEndian(bytes, header::itemSize, size, 4);
    bytes[header::marker] = 0x11;
    bytes[header::marker + 1] = 0x02;
    writeBigEndian(bytes, header::category, category, 2);
    writeBigEndian(bytes, header::itemCount, itemCount, 2);
    bytes[header::type] = type;
    return bytes;
}

} // namespace qel::files
