// Checksums of SysEx messages, as the driver's "Checksum type" names them.
//
// The sum starts at the driver's initial value and adds every byte of the
// range; the type then turns it into checksumLength(type) bytes (see
// driver/compiler.h), two-byte checksums high part first:
//   0 None                          no byte
//   1 Regular checksum              sum & 0x7F
//   2 2nd complement                -sum & 0x7F
//   3 Word shift (2 x 7 bits)       (sum >> 7) & 0x7F, sum & 0x7F
//   4 Nibblize modulo 256           (sum >> 4) & 0x0F, sum & 0x0F
//   5 Nibblize modulo 128           sum & 0x7F: its length is one byte, so
//                                   the modulo-128 sum is sent whole
//   6 1st complement                ~sum & 0x7F
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "framework/bytes.h"

namespace sf {

inline constexpr int kChecksumTypes = 7;  // types 0..6

// At most two bytes; `size` is checksumLength(type).
struct ChecksumBytes {
    std::array<std::uint8_t, 2> bytes{};
    std::size_t size = 0;
    ConstByteSpan view() const { return ConstByteSpan(bytes.data(), size); }
    bool operator==(const ChecksumBytes& o) const {
        return size == o.size && view()[0] == o.view()[0] && (size < 2 || bytes[1] == o.bytes[1]);
    }
};

bool isKnownChecksumType(int type);

// The checksum of `type` over `range`, the sum starting at `initial`. An
// unknown type (a damaged source) and type 0 give no byte.
ChecksumBytes computeChecksum(int type, ConstByteSpan range, std::uint16_t initial);
// The same from the sum itself (initial value included).
ChecksumBytes checksumOfSum(int type, std::uint32_t sum);

}  // namespace sf
