#include "model/ContainerLayout.h"

#include "model/BigEndian.h"

#include <algorithm>

namespace qel::files {

ByteVector makeContainerHeader(std::uint32_t size, category::id category, std::uint16_t itemCount,
                               type::id type) {
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
