#include "instrument/conversion.h"

namespace sf {

namespace {

enum Conversion {
    kNone = 0,
    kMsbByteLast = 1,
    kNibblesLowHigh = 2,
    kWordLowHigh = 3,
    kHexDigits = 4,
    kNibblesHighLow = 5,
    kBitsMsbFirst = 6,
    kWordHighLow = 7,
    kLowThenTopBit = 8,
    kTopBitThenLow = 9,
    kBitsLsbFirst = 10,
};

bool isPairConversion(int c) {
    return c == kNibblesLowHigh || c == kWordLowHigh || c == kHexDigits || c == kNibblesHighLow ||
           c == kWordHighLow || c == kLowThenTopBit || c == kTopBitThenLow;
}
// Pairs that give two decoded bytes (a word) rather than one.
bool isWordConversion(int c) {
    return c == kWordLowHigh || c == kWordHighLow;
}

int hexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void noteBad(DecodedData& d, std::size_t at) {
    if (d.badBytes++ == 0) d.firstBad = at;
}

void decodePairs(int c, ConstByteSpan in, DecodedData& d) {
    const std::size_t pairs = in.size() / 2;
    d.bytes.reserve(isWordConversion(c) ? 2 * pairs : pairs);
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::uint8_t a = in[2 * i], b = in[2 * i + 1];
        switch (c) {
            case kNibblesLowHigh:
                d.bytes.push_back(static_cast<std::uint8_t>((a & 0x0F) | (b & 0x0F) << 4));
                break;
            case kNibblesHighLow:
                d.bytes.push_back(static_cast<std::uint8_t>((a & 0x0F) << 4 | (b & 0x0F)));
                break;
            case kLowThenTopBit:
                d.bytes.push_back(static_cast<std::uint8_t>((a & 0x7F) | (b & 1) << 7));
                break;
            case kTopBitThenLow:
                d.bytes.push_back(static_cast<std::uint8_t>((a & 1) << 7 | (b & 0x7F)));
                break;
            case kWordLowHigh:
            case kWordHighLow: {
                const unsigned word = c == kWordLowHigh ? ((a & 0x7Fu) | (b & 0x7Fu) << 7)
                                                        : ((a & 0x7Fu) << 7 | (b & 0x7Fu));
                const auto lo = static_cast<std::uint8_t>(word),
                           hi = static_cast<std::uint8_t>(word >> 8);
                if (c == kWordLowHigh) {
                    d.bytes.push_back(lo);
                    d.bytes.push_back(hi);
                } else {
                    d.bytes.push_back(hi);
                    d.bytes.push_back(lo);
                }
                break;
            }
            case kHexDigits: {
                const int h = hexDigit(a), l = hexDigit(b);
                if (h < 0) noteBad(d, 2 * i);
                if (l < 0) noteBad(d, 2 * i + 1);
                d.bytes.push_back(
                    static_cast<std::uint8_t>((h < 0 ? 0 : h) << 4 | (l < 0 ? 0 : l)));
                break;
            }
            default:
                break;
        }
    }
    d.leftover = in.size() % 2;
}

// One group of up to 8 encoded bytes giving up to 7 decoded bytes.
void decodeGroup(int c, ConstByteSpan g, std::vector<std::uint8_t>& out) {
    if (c == kMsbByteLast) {
        const std::size_t k = g.size() - 1;
        const std::uint8_t msbs = g[k];
        for (std::size_t i = 0; i < k; ++i)
            out.push_back(static_cast<std::uint8_t>((g[i] & 0x7F) | ((msbs >> i) & 1) << 7));
        return;
    }
    // The 7-bit groups as one number of up to 56 bits.
    std::uint64_t bits = 0;
    const std::size_t k = g.size() * 7 / 8;
    if (c == kBitsMsbFirst) {
        for (const std::uint8_t b : g) bits = bits << 7 | (b & 0x7Fu);
        // Whole bytes are the top bits; shift out the padding bits below.
        bits >>= g.size() * 7 - k * 8;
        for (std::size_t i = 0; i < k; ++i)
            out.push_back(static_cast<std::uint8_t>(bits >> (8 * (k - 1 - i))));
    } else {
        for (std::size_t i = 0; i < g.size(); ++i)
            bits |= static_cast<std::uint64_t>(g[i] & 0x7Fu) << (7 * i);
        for (std::size_t i = 0; i < k; ++i)
            out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
}

}  // namespace

bool isKnownConversion(int conversion) {
    return conversion >= 0 && conversion < kDataConversions;
}

DecodedData decodeData(int c, ConstByteSpan in) {
    DecodedData d;
    if (!isKnownConversion(c)) {
        d.leftover = in.size();
        return d;
    }
    if (c == kNone) {
        d.bytes.assign(in.begin(), in.end());
    } else if (isPairConversion(c)) {
        decodePairs(c, in, d);
    } else {
        d.bytes.reserve(in.size() / 8 * 7 + 7);
        std::size_t i = 0;
        for (; i + 8 <= in.size(); i += 8) decodeGroup(c, in.subspan(i, 8), d.bytes);
        const std::size_t rest = in.size() - i;
        if (rest >= 2)
            decodeGroup(c, in.subspan(i), d.bytes);
        else
            d.leftover = rest;
    }
    return d;
}

std::size_t decodedSize(int c, std::size_t n) {
    if (!isKnownConversion(c)) return 0;
    if (c == kNone) return n;
    if (isPairConversion(c)) return isWordConversion(c) ? n / 2 * 2 : n / 2;
    const std::size_t rest = n % 8;
    const std::size_t tail = rest < 2 ? 0 : (c == kMsbByteLast ? rest - 1 : rest * 7 / 8);
    return n / 8 * 7 + tail;
}

EncodedRange encodedRange(int c, std::size_t begin, std::size_t end) {
    if (end <= begin) return {0, 0};
    if (!isKnownConversion(c) || c == kNone) return {begin, end};
    if (isPairConversion(c)) {
        if (isWordConversion(c)) return {begin / 2 * 2, (end + 1) / 2 * 2};
        return {2 * begin, 2 * end};
    }
    if (c == kMsbByteLast) {
        // Each group's msb byte follows its (up to) seven low parts.
        const std::size_t firstGroup = begin / 7, lastGroup = (end - 1) / 7;
        return {8 * firstGroup + begin % 7, 8 * lastGroup + 8};
    }
    // Bit streams: decoded bit range [8 begin, 8 end) inside 7-bit groups of 8.
    const std::size_t firstGroup = begin / 7, lastGroup = (end - 1) / 7;
    const std::size_t b0 = 8 * (begin % 7), b1 = 8 * ((end - 1) % 7 + 1);
    return {8 * firstGroup + b0 / 7, 8 * lastGroup + (b1 + 6) / 7};
}

}  // namespace sf
