// Decoding a dump's data by the module's "Data conversion" (the value the
// setting stores, 0..10). Each conversion names how the instrument packs 8-bit
// data into 7-bit MIDI bytes; decoding undoes it:
//    0 None                                   bytes as they are
//    1 7 bytes <-> 7 x (bits 0-6) + 7 msb     groups of 8: seven low parts,
//                                             then a byte whose bit i is the
//                                             top bit of byte i
//    6 7 bytes <-> 8 x 7 bits (msb first)     the 56 bits of 7 bytes, first
//                                             byte most significant, cut into
//                                             8 groups of 7, top group first
//   10 7 bytes <-> 8 x 7 bits (lsb first)     the same bits, first byte least
//                                             significant, bottom group first
//    2 1 byte <-> low 4 bits, high 4 bits     pairs: (a & 0F) | (b & 0F) << 4
//    5 1 byte <-> high 4 bits, low 4 bits     pairs: (a & 0F) << 4 | (b & 0F)
//    3 1 word <-> low 7 bits, high 7 bits     pairs: a 14-bit word, decoded
//                                             low byte first
//    7 1 word <-> high 7 bits, low 7 bits     pairs: a 14-bit word, decoded
//                                             high byte first
//    4 1 byte <-> 2 hexadecimal digits        ASCII digits, high digit first
//    8 1 byte <-> low 7 bits, highest bit     pairs: (a & 7F) | (b & 1) << 7
//    9 1 byte <-> highest bit, low 7 bits     pairs: (a & 1) << 7 | (b & 7F)
// A last group of the 7-in-8 conversions may be short: k + 1 bytes (1) or
// k groups (6, 10) give the whole bytes they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/bytes.h"

namespace sf {

inline constexpr int kDataConversions = 11;  // values 0..10

bool isKnownConversion(int conversion);

struct DecodedData {
    std::vector<std::uint8_t> bytes;
    // Encoded bytes at the end that make no whole decoded byte (an odd byte
    // of a pair conversion, a lone byte of a 7-in-8 group).
    std::size_t leftover = 0;
    // Encoded bytes that are not what the conversion expects (a character
    // that is not a hexadecimal digit), and where the first one lies.
    std::size_t badBytes = 0;
    std::size_t firstBad = 0;
};

// Decodes `encoded`; an unknown conversion decodes nothing and counts every
// byte as left over.
DecodedData decodeData(int conversion, ConstByteSpan encoded);

// The encoded bytes [first, last) that hold decoded bytes [begin, end); for a
// short last group `last` may pass the end of the data (clamp it).
struct EncodedRange {
    std::size_t first = 0;
    std::size_t last = 0;
};
EncodedRange encodedRange(int conversion, std::size_t begin, std::size_t end);

// Decoded size of `encodedSize` encoded bytes.
std::size_t decodedSize(int conversion, std::size_t encodedSize);

}  // namespace sf
