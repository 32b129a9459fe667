#include "instrument/header.h"

#include <algorithm>

#include "sysex/message.h"

namespace sf {

namespace {
constexpr std::size_t kSysexIdOffset = 188;  // "Sysex ID offset in header"
constexpr std::size_t kSysexIdMask = 190;    // "Sysex ID bit mask"
constexpr std::size_t kCommonHeaderUnits = 194;
constexpr std::size_t kCommonHeaderCount = 192;
constexpr int kCommonHeaderCapacity = 8;

bool isVariableTag(std::uint8_t code) {
    return codeClass(code) == CodeClass::Tag && code != kHeadCode && code != kAnyByte;
}
}  // namespace

std::vector<std::uint8_t> messageCodes(const MessageView& message) {
    const int n = std::clamp(message.count, 0, static_cast<int>(message.units.size() / 2));
    std::vector<std::uint8_t> out(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = get8(message.units, 2 * i);
    return out;
}

std::vector<std::uint8_t> commonHeaderCodes(const SourceRecord& r) {
    return messageCodes(
        messageAt(r, kCommonHeaderUnits, kCommonHeaderCount, kCommonHeaderCapacity));
}

std::vector<std::uint8_t> expandHead(ConstByteSpan codes, ConstByteSpan commonHeader) {
    std::vector<std::uint8_t> out;
    out.reserve(codes.size() + commonHeader.size());
    for (const std::uint8_t c : codes) {
        if (c == kHeadCode)
            out.insert(out.end(), commonHeader.begin(), commonHeader.end());
        else
            out.push_back(c);
    }
    return out;
}

DeviceIdPlace deviceIdPlace(const SourceRecord& r) {
    DeviceIdPlace p;
    p.offset = r.s16(kSysexIdOffset);
    p.mask = static_cast<std::uint8_t>(r.u16(kSysexIdMask));
    for (int b = 0; b < 8; ++b)
        if (p.mask & (1u << b)) {
            p.shift = b;
            break;
        }
    return p;
}

void placeDeviceId(ByteSpan message, const DeviceIdPlace& place, int id) {
    if (!place.used() || static_cast<std::size_t>(place.offset) >= message.size()) return;
    auto& b = message[static_cast<std::size_t>(place.offset)];
    const auto idBits =
        static_cast<std::uint8_t>((static_cast<unsigned>(id) << place.shift) & place.mask);
    b = static_cast<std::uint8_t>((b & ~place.mask) | idBits);
}

int readDeviceId(ConstByteSpan message, const DeviceIdPlace& place) {
    if (!place.used() || static_cast<std::size_t>(place.offset) >= message.size()) return -1;
    return (message[static_cast<std::size_t>(place.offset)] & place.mask) >> place.shift;
}

std::array<std::vector<std::uint8_t>, 2> expandedReceivePatterns(const SourceRecord& r,
                                                                 int module) {
    const auto head = commonHeaderCodes(r);
    auto patterns = receivePatterns(r, module);
    for (auto& p : patterns) {
        std::vector<std::uint8_t> out;
        for (const std::uint8_t c : expandHead(p, head)) {
            if (c == kEmptyCode) continue;
            out.push_back(isVariableTag(c) ? kAnyByte : c);
        }
        p = std::move(out);
    }
    return patterns;
}

PatternMatch matchPattern(ConstByteSpan message, ConstByteSpan pattern,
                          const DeviceIdPlace& idPlace) {
    if (pattern.empty()) return {false, 0};
    const auto idOffset = idPlace.used() ? static_cast<std::size_t>(idPlace.offset) : SIZE_MAX;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (i >= message.size()) return {false, message.size()};
        const std::uint8_t want = pattern[i];
        if (want == kAnyByte) continue;
        const std::uint8_t keep = i == idOffset ? static_cast<std::uint8_t>(~idPlace.mask) : 0xFF;
        if ((message[i] & keep) != (want & keep)) return {false, i};
    }
    return {true, pattern.size()};
}

}  // namespace sf
