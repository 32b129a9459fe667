// Explicit byte-order accessors over byte buffers.
//
// Every multi-byte number that lives in a record or a file goes through these
// helpers, so the code does not depend on the host's byte order and never
// casts a struct over raw bytes. All accessors check their bounds; an access
// outside the buffer throws std::out_of_range (a programming error, or a
// caller that forgot to validate an untrusted offset first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

namespace sf {

using ByteSpan = std::span<std::uint8_t>;
using ConstByteSpan = std::span<const std::uint8_t>;

// True when [offset, offset + length) lies inside a buffer of `size` bytes,
// computed without overflow.
constexpr bool rangeFits(std::size_t size, std::size_t offset, std::size_t length) noexcept {
    return offset <= size && length <= size - offset;
}

inline void checkRange(std::size_t size, std::size_t offset, std::size_t length) {
    if (!rangeFits(size, offset, length)) throw std::out_of_range("byte access out of range");
}

// Bounds-checked sub-span; the single slicing helper that readers use.
inline ConstByteSpan slice(ConstByteSpan bytes, std::size_t offset, std::size_t length) {
    checkRange(bytes.size(), offset, length);
    return bytes.subspan(offset, length);
}
inline ByteSpan slice(ByteSpan bytes, std::size_t offset, std::size_t length) {
    checkRange(bytes.size(), offset, length);
    return bytes.subspan(offset, length);
}

inline std::uint8_t get8(ConstByteSpan b, std::size_t off) {
    checkRange(b.size(), off, 1);
    return b[off];
}
inline void put8(ByteSpan b, std::size_t off, std::uint8_t v) {
    checkRange(b.size(), off, 1);
    b[off] = v;
}

inline std::uint16_t getLE16(ConstByteSpan b, std::size_t off) {
    checkRange(b.size(), off, 2);
    return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}
inline std::uint16_t getBE16(ConstByteSpan b, std::size_t off) {
    checkRange(b.size(), off, 2);
    return static_cast<std::uint16_t>((b[off] << 8) | b[off + 1]);
}
inline std::uint32_t getLE32(ConstByteSpan b, std::size_t off) {
    checkRange(b.size(), off, 4);
    return static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
           (static_cast<std::uint32_t>(b[off + 2]) << 16) |
           (static_cast<std::uint32_t>(b[off + 3]) << 24);
}
inline std::uint32_t getBE32(ConstByteSpan b, std::size_t off) {
    checkRange(b.size(), off, 4);
    return (static_cast<std::uint32_t>(b[off]) << 24) |
           (static_cast<std::uint32_t>(b[off + 1]) << 16) |
           (static_cast<std::uint32_t>(b[off + 2]) << 8) | static_cast<std::uint32_t>(b[off + 3]);
}
inline std::int16_t getLE16s(ConstByteSpan b, std::size_t off) {
    return static_cast<std::int16_t>(getLE16(b, off));
}
inline std::int32_t getLE32s(ConstByteSpan b, std::size_t off) {
    return static_cast<std::int32_t>(getLE32(b, off));
}

inline void putLE16(ByteSpan b, std::size_t off, std::uint16_t v) {
    checkRange(b.size(), off, 2);
    b[off] = static_cast<std::uint8_t>(v);
    b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putBE16(ByteSpan b, std::size_t off, std::uint16_t v) {
    checkRange(b.size(), off, 2);
    b[off] = static_cast<std::uint8_t>(v >> 8);
    b[off + 1] = static_cast<std::uint8_t>(v);
}
inline void putLE32(ByteSpan b, std::size_t off, std::uint32_t v) {
    checkRange(b.size(), off, 4);
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void putBE32(ByteSpan b, std::size_t off, std::uint32_t v) {
    checkRange(b.size(), off, 4);
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
}

// In-place byte-order exchange of one 16-bit or 32-bit field.
inline void swap16(ByteSpan b, std::size_t off) {
    checkRange(b.size(), off, 2);
    std::swap(b[off], b[off + 1]);
}
inline void swap32(ByteSpan b, std::size_t off) {
    checkRange(b.size(), off, 4);
    std::swap(b[off], b[off + 3]);
    std::swap(b[off + 1], b[off + 2]);
}

// Zero-terminated text inside a fixed-size field: the characters before the
// first 0 byte, or the whole field when it holds no terminator.
inline std::string_view fieldText(ConstByteSpan b, std::size_t off, std::size_t size) {
    auto f = slice(b, off, size);
    std::size_t n = 0;
    while (n < f.size() && f[n] != 0) ++n;
    return {reinterpret_cast<const char*>(f.data()), n};
}

}  // namespace sf
