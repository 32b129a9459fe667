// Helpers for reading compiled driver images in tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "driver/compiler.h"
#include "framework/bytes.h"
#include "source/record.h"

namespace sf::test {

using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<int>;

inline std::size_t mod(int i) {
    return drv::moduleRecord(static_cast<std::size_t>(i));
}

// `n` big-endian words from `off`.
inline Words words(const Bytes& img, std::size_t off, std::size_t n) {
    Words out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(getBE16(img, off + 2 * i));
    return out;
}

inline std::string textAt(const Bytes& img, std::size_t off) {
    return reinterpret_cast<const char*>(&img[off]);
}

// The data bytes of the block that the big-endian reference at `refField`
// leads to; empty when the reference is 0.
inline Bytes blockAt(const Bytes& img, std::size_t refField) {
    const std::size_t at = getBE16(img, refField);
    if (at == 0) return {};
    auto s = slice(ConstByteSpan(img), at + 2, getBE16(img, at));
    return {s.begin(), s.end()};
}

// Big-endian words at `base` + offset.
struct Field {
    std::size_t offset;
    int value;
};
inline void expectFields(const Bytes& img, std::size_t base, std::initializer_list<Field> fields) {
    for (const Field& f : fields) EXPECT_EQ(getBE16(img, base + f.offset), f.value) << f.offset;
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

// Three named modules, the first two with 40000 bytes of ROM names: the
// driver just fits; one more block in module 3 would start past 64 KB.
inline void fillToTheDriverLimit(SourceRecord& r) {
    setName(r, 2, "M");
    for (int m = 0; m < 2; ++m) {
        setName(r, m, "M");
        r.setModU16(m, rec::kModFlags, 0x0008);
        r.setModU16(m, rec::kModSubBankCount, 1);
        r.setU16(rec::moduleBase(m) + rec::subBankBase(0) + rec::kSbType, 2);
        r.block(m, 0) = Block(40000, 'n');
    }
}

// The image of a source that must compile without any message.
inline Bytes compileOk(const SourceRecord& r) {
    RecordingPrompter p;
    CompileResult res = compileDriver(r, &p);
    if (!res.ok() || !p.messages.empty()) return {};
    return res.image;
}

}  // namespace sf::test
