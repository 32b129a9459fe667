// SysEx headers: the driver's "Common header" expanded where a message says
// `Head`, the device ID at its place in a header, and recognising a received
// message by the patterns the compiler builds from a module's send headers.
//
// Offsets count from the message's F0 (offset 0). Message templates are
// handled as unit codes (the low bytes the compiler writes), so a code 0xFD
// is `Head` however it was typed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "driver/compiler.h"
#include "framework/bytes.h"
#include "source/record.h"

namespace sf {

inline constexpr std::uint8_t kHeadCode = 0xFD;
// In a receive pattern: any byte is accepted here.
inline constexpr std::uint8_t kAnyByte = 0xFE;

// The codes of a message's first `count` units (count kept within capacity).
std::vector<std::uint8_t> messageCodes(const MessageView& message);
// The codes of the driver's "Common header".
std::vector<std::uint8_t> commonHeaderCodes(const SourceRecord& r);

// `codes` with every `Head` replaced by `commonHeader`. A `Head` inside the
// common header itself is not expanded again: it stays 0xFD.
std::vector<std::uint8_t> expandHead(ConstByteSpan codes, ConstByteSpan commonHeader);

// Where the device ID sits in a header: "Sysex ID offset in header" (0 = the
// messages carry no ID) and "Sysex ID bit mask"; `shift` is the number of the
// mask's lowest set bit (the compiler's idShift).
struct DeviceIdPlace {
    int offset = 0;
    std::uint8_t mask = 0;
    int shift = 0;
    bool used() const { return offset > 0 && mask != 0; }
};
DeviceIdPlace deviceIdPlace(const SourceRecord& r);

// Puts `id` into the bits of the mask at the ID's offset of `message`, the
// other bits kept: byte = (byte & ~mask) | ((id << shift) & mask). Nothing is
// written when the place is unused or lies beyond the message.
void placeDeviceId(ByteSpan message, const DeviceIdPlace& place, int id);
// The ID a message carries, or -1 when the place is unused or beyond it.
int readDeviceId(ConstByteSpan message, const DeviceIdPlace& place);

// A module's receive patterns (from send "Header #1" and "Header #2") with
// `Head` expanded: each entry is a byte to find, or kAnyByte where the header
// has a variable tag (or `Joker`). Empty units of a header send no byte and
// expect none, so they are left out. An empty pattern matches nothing.
std::array<std::vector<std::uint8_t>, 2> expandedReceivePatterns(const SourceRecord& r, int module);

struct PatternMatch {
    bool matched = false;
    // The first offset where the message differs from the pattern: the
    // message's length when it ends before the pattern does.
    std::size_t firstDifference = 0;
};
// Compares the start of `message` with `pattern`; at the device ID's offset
// only the bits outside the ID's mask are compared.
PatternMatch matchPattern(ConstByteSpan message, ConstByteSpan pattern,
                          const DeviceIdPlace& idPlace);

}  // namespace sf
