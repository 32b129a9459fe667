#include "instrument/checksum.h"

#include "driver/compiler.h"

namespace sf {

bool isKnownChecksumType(int type) {
    return type >= 0 && type < kChecksumTypes;
}

ChecksumBytes computeChecksum(int type, ConstByteSpan range, std::uint16_t initial) {
    std::uint32_t sum = initial;
    for (const std::uint8_t b : range) sum += b;
    return checksumOfSum(type, sum);
}

ChecksumBytes checksumOfSum(int type, std::uint32_t sum) {
    ChecksumBytes out;
    if (type <= 0 || !isKnownChecksumType(type)) return out;
    out.size = checksumLength(static_cast<std::uint16_t>(type));
    switch (type) {
        case 1:
        case 5: out.bytes[0] = static_cast<std::uint8_t>(sum & 0x7F); break;
        case 2: out.bytes[0] = static_cast<std::uint8_t>((0u - sum) & 0x7F); break;
        case 6: out.bytes[0] = static_cast<std::uint8_t>(~sum & 0x7F); break;
        case 3:
            out.bytes = {static_cast<std::uint8_t>((sum >> 7) & 0x7F),
                         static_cast<std::uint8_t>(sum & 0x7F)};
            break;
        case 4:
            out.bytes = {static_cast<std::uint8_t>((sum >> 4) & 0x0F),
                         static_cast<std::uint8_t>(sum & 0x0F)};
            break;
        default: break;
    }
    return out;
}

}  // namespace sf
