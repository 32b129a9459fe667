// The line form of the macro list.
#include "tools/textform_blocks.h"

namespace sf::textform {

namespace {

struct MacroField {
    const char* key;
    std::size_t offset;
    int width;  // 1 unsigned byte, 2 unsigned word
};
constexpr MacroField kMacroReserved[] = {
    {"res2", 2, 2}, {"res4", 4, 2}, {"res7", 7, 1}, {"res8", 8, 1}, {"res10", 10, 1}};
constexpr const char* kMacroKinds[] = {"linear", "random", "absolute"};

}  // namespace

bool wellFormedMacros(ConstByteSpan b) {
    if (b.size() < 2) return false;
    const std::size_t count = getLE16(b, 0);
    std::size_t at = 2 + 4 * count;
    if (at > b.size()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (getLE32(b, 2 + 4 * i) != at || !rangeFits(b.size(), at, 36)) return false;
        const std::size_t size = getLE16(b, at);
        const std::size_t params = getLE16(b, at + 34);
        std::size_t p = at + 36;
        for (std::size_t j = 0; j < params; ++j) {
            if (!rangeFits(b.size(), p, 8)) return false;
            const std::size_t psize = getLE16(b, p);
            if (psize != 8 + 10 * std::size_t{getLE16(b, p + 6)} || !rangeFits(b.size(), p, psize))
                return false;
            p += psize;
        }
        if (p - at != size) return false;
        at = p;
    }
    return at == b.size();
}

std::string formatMacros(ConstByteSpan b) {
    std::string out;
    const std::size_t count = getLE16(b, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = getLE32(b, 2 + 4 * i);
        std::string line = "macro " + quoteField(slice(b, at + 11, 19));
        addNumber(line, "from", s16at(b, at + 30), true);
        addNumber(line, "to", s16at(b, at + 32), true);
        const int kind = get8(b, at + 9);
        line += kind <= 2 ? std::string(" ") + kMacroKinds[kind] : " kind=" + std::to_string(kind);
        if (get8(b, at + 6) != 0xFF) addNumber(line, "group", get8(b, at + 6), true);
        for (const auto& f : kMacroReserved)
            addNumber(line, f.key,
                      f.width == 2 ? getLE16(b, at + f.offset) : get8(b, at + f.offset));
        out += line + '\n';
        std::size_t p = at + 36;
        for (std::size_t j = 0, params = getLE16(b, at + 34); j < params; ++j) {
            out += "param template=" + std::to_string(getLE16(b, p + 2)) +
                   " offset=" + std::to_string(getLE16(b, p + 4)) + '\n';
            for (std::size_t k = 0, points = getLE16(b, p + 6); k < points; ++k) {
                const std::size_t q = p + 8 + 10 * k;
                out += "point " + std::to_string(getLE16(b, q)) + ' ' +
                       std::to_string(getLE16(b, q + 2)) + ' ' + std::to_string(get8(b, q + 4)) +
                       ' ' + std::to_string(get8(b, q + 5)) + ' ' +
                       std::to_string(getLE16(b, q + 6)) + ' ' + std::to_string(getLE16(b, q + 8)) +
                       '\n';
            }
            p += 8 + 10 * getLE16(b, p + 6);
        }
    }
    return out;
}

Block packMacros(const std::vector<MacroDraft>& macros) {
    Block b(2 + 4 * macros.size(), 0);
    putLE16(b, 0, static_cast<std::uint16_t>(macros.size()));
    for (std::size_t i = 0; i < macros.size(); ++i) {
        putLE32(b, 2 + 4 * i, static_cast<std::uint32_t>(b.size()));
        Block head = macros[i].head;
        std::size_t size = 36;
        for (const auto& p : macros[i].params) size += p.size();
        if (size > 0xFFFF) throw std::string("macro too large");
        putLE16(head, 0, static_cast<std::uint16_t>(size));
        putLE16(head, 34, static_cast<std::uint16_t>(macros[i].params.size()));
        b.insert(b.end(), head.begin(), head.end());
        for (const auto& p : macros[i].params) b.insert(b.end(), p.begin(), p.end());
    }
    return b;
}

void parseMacroLine(const std::vector<Token>& tokens, std::vector<MacroDraft>& macros) {
    if (tokens.empty()) return;
    const std::string_view word = tokens[0].key;
    if (word == "macro") {
        MacroDraft m;
        put8(m.head, 6, 0xFF);
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (t.quoted && t.key.empty()) {
                putText(slice(ByteSpan(m.head), 11, 19), t.value(), "macro name");
                continue;
            }
            bool done = false;
            for (int k = 0; k < 3; ++k)
                if (!t.hasValue && t.key == kMacroKinds[k]) {
                    put8(m.head, 9, static_cast<std::uint8_t>(k));
                    done = true;
                }
            for (const auto& f : kMacroReserved)
                if (t.hasValue && t.key == f.key) {
                    if (f.width == 2)
                        putLE16(m.head, f.offset,
                                static_cast<std::uint16_t>(numberIn(t.value(), 0, 65535, f.key)));
                    else
                        put8(m.head, f.offset,
                             static_cast<std::uint8_t>(numberIn(t.value(), 0, 255, f.key)));
                    done = true;
                }
            if (done) continue;
            if (t.hasValue && (t.key == "from" || t.key == "to")) {
                putLE16(m.head, t.key == "from" ? 30 : 32,
                        static_cast<std::uint16_t>(numberIn(t.value(), -32768, 32767, t.key)));
            } else if (t.hasValue && t.key == "kind") {
                put8(m.head, 9, static_cast<std::uint8_t>(numberIn(t.value(), 0, 255, "kind")));
            } else if (t.hasValue && t.key == "group") {
                put8(m.head, 6, static_cast<std::uint8_t>(numberIn(t.value(), 0, 254, "group")));
            } else {
                throw std::string("unknown word \"" + std::string(t.key) + "\"");
            }
        }
        macros.push_back(std::move(m));
        return;
    }
    if (macros.empty()) throw std::string("\"" + std::string(word) + "\" before the first macro");
    if (word == "param") {
        Block p(8, 0);
        putLE16(p, 0, 8);
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (!t.hasValue || (t.key != "template" && t.key != "offset"))
                throw std::string("unknown word \"" + std::string(t.key) + "\"");
            putLE16(p, t.key == "template" ? 2 : 4,
                    static_cast<std::uint16_t>(numberIn(t.value(), 0, 65535, t.key)));
        }
        macros.back().params.push_back(std::move(p));
        return;
    }
    if (word == "point") {
        auto& params = macros.back().params;
        if (params.empty()) throw std::string("point before the first param");
        if (tokens.size() != 7) throw std::string("a point has six numbers");
        Block& p = params.back();
        const std::size_t q = p.size();
        p.resize(q + 10, 0);
        static constexpr std::size_t kOff[6] = {0, 2, 4, 5, 6, 8};
        for (int k = 0; k < 6; ++k) {
            const Token& t = tokens[static_cast<std::size_t>(k) + 1];
            if (t.hasValue) throw std::string("a point has six numbers");
            const bool byte = k == 2 || k == 3;
            const auto v = numberIn(t.key, 0, byte ? 255 : 65535, "point");
            if (byte)
                put8(p, q + kOff[k], static_cast<std::uint8_t>(v));
            else
                putLE16(p, q + kOff[k], static_cast<std::uint16_t>(v));
        }
        const std::size_t points = (p.size() - 8) / 10;
        putLE16(p, 0, static_cast<std::uint16_t>(p.size()));
        putLE16(p, 6, static_cast<std::uint16_t>(points));
        return;
    }
    throw std::string("unknown word \"" + std::string(word) + "\"");
}

}  // namespace sf::textform
