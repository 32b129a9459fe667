// Helpers for reading compiled driver images in tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "driver/compiler.h"
#include "framework/bytes.h"
#include "source/record.h"

namespace sf::test {

inline std::uint16_t be16(const std::vector<std::uint8_t>& img, std::size_t off) {
    return getBE16(img, off);
}
inline std::uint32_t be32(const std::vector<std::uint8_t>& img, std::size_t off) {
    return getBE32(img, off);
}
inline std::size_t mod(int i) { return drv::moduleRecord(static_cast<std::size_t>(i)); }

// The data bytes of the block that the big-endian reference at `refField`
// leads to; empty when the reference is 0.
inline std::vector<std::uint8_t> blockAt(const std::vector<std::uint8_t>& img, std::size_t refField) {
    const std::size_t at = be16(img, refField);
    if (at == 0) return {};
    const std::size_t len = be16(img, at);
    auto s = slice(ConstByteSpan(img), at + 2, len);
    return {s.begin(), s.end()};
}

inline std::vector<std::uint8_t> bytesOf(std::initializer_list<int> v) {
    std::vector<std::uint8_t> out;
    for (int x : v) out.push_back(static_cast<std::uint8_t>(x));
    return out;
}

// Stores a message: units at `units`, count at `units + 2 * capacity`.
inline void setMessage(SourceRecord& r, std::size_t units, int capacity,
                       std::initializer_list<std::uint16_t> v) {
    std::size_t i = 0;
    for (auto u : v) r.setU16(units + 2 * i++, u);
    r.setU16(units + 2 * static_cast<std::size_t>(capacity), static_cast<std::uint16_t>(v.size()));
}

inline void setName(SourceRecord& r, int m, const char* name) {
    r.setText(rec::moduleBase(m) + rec::kModName, rec::kModNameSize, name);
}

inline std::vector<std::uint8_t> compileOk(const SourceRecord& r) {
    RecordingPrompter p;
    CompileResult res = compileDriver(r, &p);
    if (!res.ok() || !p.messages.empty()) return {};
    return res.image;
}

}  // namespace sf::test
