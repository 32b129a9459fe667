// The line forms of the converter, the templates, the patch information,
// the value lists and the macro filter.
#include "tools/textform_blocks.h"

#include <algorithm>
#include <set>

#include "tools/textform.h"

namespace sf::textform {

// ---- converter operations ----

namespace {

struct OpKey {
    const char* key;
    std::size_t offset;
    int width;  // 1 signed byte, 2 signed word, 3 unsigned byte
};
constexpr OpKey kOpGeneric[] = {{"arg1", 4, 2},       {"arg2", 6, 2},     {"arg3", 8, 2},
                                {"source-bit", 1, 1}, {"dest-bit", 2, 1}, {"reserved", 3, 3}};

struct OpType {
    int type;
    const char* word;
    OpKey keys[5];
};
constexpr OpType kOpTypes[] = {
    {1,
     "copy-bytes",
     {{"from", 4, 2}, {"to", 6, 2}, {"count", 8, 2}, {nullptr, 0, 0}, {nullptr, 0, 0}}},
    {2,
     "copy-bits",
     {{"from", 4, 2}, {"from-bit", 1, 1}, {"to", 6, 2}, {"to-bit", 2, 1}, {"bits", 8, 2}}},
    {3,
     "loop",
     {{"loops", 4, 2},
      {"source-step", 6, 2},
      {"dest-step", 8, 2},
      {nullptr, 0, 0},
      {nullptr, 0, 0}}},
    {4,
     "end-loop",
     {{nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}}},
};

std::int64_t opField(ConstByteSpan op, const OpKey& k) {
    if (k.width == 2) return s16at(op, k.offset);
    if (k.width == 1) return s8at(op, k.offset);
    return get8(op, k.offset);
}

}  // namespace

std::string formatOp(ConstByteSpan op) {
    const int type = get8(op, 0);
    const OpType* t = nullptr;
    for (const auto& ot : kOpTypes)
        if (ot.type == type) t = &ot;
    std::string line = t ? t->word : "op type=" + std::to_string(type);
    std::set<std::size_t> shown;
    if (t) {
        for (const OpKey& k : t->keys) {
            if (!k.key) continue;
            addNumber(line, k.key, opField(op, k), true);
            shown.insert(k.offset);
        }
    }
    for (const OpKey& k : kOpGeneric)
        if (!shown.count(k.offset)) addNumber(line, k.key, opField(op, k));
    return line;
}

void parseOp(const std::vector<Token>& tokens, ByteSpan op) {
    if (tokens.empty() || tokens[0].hasValue) throw std::string("operation expected");
    const OpType* t = nullptr;
    for (const auto& ot : kOpTypes)
        if (tokens[0].key == ot.word) t = &ot;
    if (!t && tokens[0].key != "op")
        throw std::string("unknown operation \"" + std::string(tokens[0].key) + "\"");
    std::fill(op.begin(), op.end(), std::uint8_t{0});
    if (t) put8(op, 0, static_cast<std::uint8_t>(t->type));
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const Token& tok = tokens[i];
        if (!t && tok.key == "type") {
            put8(op, 0, static_cast<std::uint8_t>(numberIn(tok.value(), 0, 255, "type")));
            continue;
        }
        const OpKey* k = nullptr;
        if (t)
            for (const OpKey& ok : t->keys)
                if (ok.key && tok.key == ok.key) k = &ok;
        for (const OpKey& ok : kOpGeneric)
            if (!k && tok.key == ok.key) k = &ok;
        if (!k || !tok.hasValue) throw std::string("unknown word \"" + std::string(tok.key) + "\"");
        if (k->width == 2)
            putLE16(op, k->offset,
                    static_cast<std::uint16_t>(numberIn(tok.value(), -32768, 65535, tok.key)));
        else if (k->width == 1)
            put8(op, k->offset,
                 static_cast<std::uint8_t>(numberIn(tok.value(), -128, 255, tok.key)));
        else
            put8(op, k->offset, static_cast<std::uint8_t>(numberIn(tok.value(), 0, 255, tok.key)));
    }
}

// ---- parameter templates ----

std::string formatTemplate(ConstByteSpan t) {
    std::string line = "template " + quoteField(slice(t, 10, 18));
    const int type = get8(t, 0);
    line += type == 1   ? " byte"
            : type == 2 ? " word"
            : type == 3 ? " bits"
                        : " type=" + std::to_string(type);
    addNumber(line, "bit-start", s8at(t, 1));
    addNumber(line, "bit-count", s8at(t, 2));
    const std::uint8_t flags = get8(t, 3);
    if (flags & 0x01) line += " signed";
    if (flags & 0x04) line += " little-endian";
    if (flags & ~0x05) line += " flags=" + dollarHex(flags & ~0x05u);
    addNumber(line, "min", s16at(t, 4), true);
    addNumber(line, "max", s16at(t, 6), true);
    addNumber(line, "def", s16at(t, 8), true);
    return line;
}

void parseTemplate(const std::vector<Token>& tokens, ByteSpan t) {
    if (tokens.empty() || tokens[0].key != "template") throw std::string("template expected");
    std::fill(t.begin(), t.end(), std::uint8_t{0});
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const Token& tok = tokens[i];
        if (tok.quoted && tok.key.empty()) {
            putText(slice(t, 10, 18), tok.value(), "template name");
        } else if (!tok.hasValue && (tok.key == "byte" || tok.key == "word" || tok.key == "bits")) {
            put8(t, 0, tok.key == "byte" ? 1 : tok.key == "word" ? 2 : 3);
        } else if (!tok.hasValue && tok.key == "signed") {
            put8(t, 3, get8(t, 3) | 0x01);
        } else if (!tok.hasValue && tok.key == "little-endian") {
            put8(t, 3, get8(t, 3) | 0x04);
        } else if (tok.key == "type" && tok.hasValue) {
            put8(t, 0, static_cast<std::uint8_t>(numberIn(tok.value(), 0, 255, "type")));
        } else if (tok.key == "flags" && tok.hasValue) {
            put8(t, 3,
                 static_cast<std::uint8_t>(get8(t, 3) | numberIn(tok.value(), 0, 255, "flags")));
        } else if ((tok.key == "bit-start" || tok.key == "bit-count") && tok.hasValue) {
            put8(t, tok.key == "bit-start" ? 1 : 2,
                 static_cast<std::uint8_t>(numberIn(tok.value(), -128, 127, tok.key)));
        } else if ((tok.key == "min" || tok.key == "max" || tok.key == "def") && tok.hasValue) {
            const std::size_t off = tok.key == "min" ? 4 : tok.key == "max" ? 6 : 8;
            putLE16(t, off,
                    static_cast<std::uint16_t>(numberIn(tok.value(), -32768, 32767, tok.key)));
        } else {
            throw std::string("unknown word \"" + std::string(tok.key) + "\"");
        }
    }
}

// ---- patch information ----

std::string formatPatchInfo(ConstByteSpan b) {
    std::string out;
    for (std::size_t d = 0; d < 4; ++d) {
        std::string line = "descriptor " + std::to_string(d + 1);
        addNumber(line, "reference", s16at(b, 2 * d), true);
        addNumber(line, "offset", s16at(b, 8 + 2 * d), true);
        out += line + '\n';
        for (std::size_t row = 0; row < 16; ++row) {
            const std::size_t v = 16 + 16 * d + row;
            const auto tag = slice(b, 80 + 15 * (16 * d + row), 15);
            const bool tagEmpty =
                std::all_of(tag.begin(), tag.end(), [](std::uint8_t x) { return x == 0; });
            if (get8(b, v) == 0 && tagEmpty) continue;
            out += "row " + std::to_string(row + 1) + " value=" + std::to_string(s8at(b, v)) +
                   " tag=" + quoteField(tag) + '\n';
        }
    }
    return out;
}

void parsePatchInfoLine(const std::vector<Token>& tokens, ByteSpan b, int& descriptor) {
    if (tokens.empty()) return;
    if (tokens[0].key == "descriptor") {
        if (tokens.size() < 2 || tokens[1].hasValue)
            throw std::string("descriptor number expected");
        descriptor = static_cast<int>(numberIn(tokens[1].key, 1, 4, "descriptor")) - 1;
        const auto d = static_cast<std::size_t>(descriptor);
        for (std::size_t i = 2; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (!t.hasValue || (t.key != "reference" && t.key != "offset"))
                throw std::string("unknown word \"" + std::string(t.key) + "\"");
            putLE16(b, (t.key == "reference" ? 0 : 8) + 2 * d,
                    static_cast<std::uint16_t>(numberIn(t.value(), -32768, 32767, t.key)));
        }
        return;
    }
    if (tokens[0].key == "row") {
        if (descriptor < 0) throw std::string("row before the first descriptor");
        if (tokens.size() < 2 || tokens[1].hasValue) throw std::string("row number expected");
        const auto row = static_cast<std::size_t>(numberIn(tokens[1].key, 1, 16, "row")) - 1;
        const std::size_t index = 16 * static_cast<std::size_t>(descriptor) + row;
        for (std::size_t i = 2; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            if (t.hasValue && t.key == "value")
                put8(b, 16 + index,
                     static_cast<std::uint8_t>(numberIn(t.value(), -128, 127, "value")));
            else if (t.hasValue && t.key == "tag" && t.quoted)
                putText(slice(b, 80 + 15 * index, 15), t.value(), "tag");
            else
                throw std::string("unknown word \"" + std::string(t.key) + "\"");
        }
        return;
    }
    throw std::string("unknown word \"" + std::string(tokens[0].key) + "\"");
}

// ---- value lists ----

std::string formatValueLists(ConstByteSpan b) {
    std::string out = "counts";
    for (std::size_t k = 0; k < 8; ++k) out += ' ' + std::to_string(getLE16(b, 2 * k));
    out += '\n';
    bool extra = false;
    for (std::size_t k = 8; k < 16; ++k) extra = extra || getLE16(b, 2 * k) != 0;
    if (extra) {
        out += "extra";
        for (std::size_t k = 8; k < 16; ++k) out += ' ' + std::to_string(getLE16(b, 2 * k));
        out += '\n';
    }
    for (std::size_t k = 0; k < 8; ++k) {
        std::size_t last = 0;
        for (std::size_t j = 0; j < 100; ++j)
            if (getLE16(b, 32 + 200 * k + 2 * j) != 0) last = j + 1;
        if (last == 0) continue;
        out += "list " + std::to_string(k + 1) + ':';
        for (std::size_t j = 0; j < last; ++j)
            out += ' ' + std::to_string(getLE16(b, 32 + 200 * k + 2 * j));
        out += '\n';
    }
    return out;
}

void parseValueListsLine(std::string_view line, ByteSpan b) {
    std::vector<std::string> words;
    for (std::size_t pos = 0; pos < line.size();) {
        const auto end = line.find_first_of(" \t", pos);
        const auto w =
            line.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (!w.empty()) words.emplace_back(w);
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    if (words.empty()) return;
    std::size_t first = 0, max = 0;
    if (words[0] == "counts" || words[0] == "extra") {
        first = words[0] == "counts" ? 0 : 8;
        max = 8;
    } else if (words[0] == "list" && words.size() >= 2 && words[1].size() >= 2 &&
               words[1].back() == ':') {
        const auto k = static_cast<std::size_t>(
            numberIn(words[1].substr(0, words[1].size() - 1), 1, 8, "list"));
        first = 16 + 100 * (k - 1);
        max = 100;
        words.erase(words.begin());
    } else {
        throw std::string("unknown word \"" + words[0] + "\"");
    }
    if (words.size() - 1 > max) throw std::string("too many values");
    for (std::size_t i = 1; i < words.size(); ++i)
        putLE16(b, 2 * (first + i - 1),
                static_cast<std::uint16_t>(numberIn(words[i], 0, 65535, "value")));
}

// ---- macro filter ----

std::string formatFilterHeader(ConstByteSpan f) {
    std::string line;
    addNumber(line, "reference", s16at(f, 0), true);
    addNumber(line, "offset", s16at(f, 2), true);
    const std::uint16_t flags = getLE16(f, 4);
    if (flags & 1) line += " and-mode";
    if (flags & ~1u) line += " flags=" + dollarHex(flags & ~1u);
    return line;
}

std::string formatFilterGroups(ConstByteSpan f) {
    std::string out, line;
    int n = 0;
    for (std::size_t v = 0; v < 96; ++v) {
        const auto g = s8at(f, 6 + v);
        if (g == 0) continue;
        if (n % 12 != 0) line += ' ';
        line += std::to_string(v);
        line += '=';
        line += std::to_string(g);
        if (++n % 12 == 0) {
            out += "groups " + line + '\n';
            line.clear();
        }
    }
    if (!line.empty()) out += "groups " + line + '\n';
    return out;
}

void parseFilter(const Section& s, ByteSpan f) {
    std::fill(f.begin(), f.end(), std::uint8_t{0});
    for (const Token& t : s.attributes) {
        if (t.hasValue && (t.key == "reference" || t.key == "offset"))
            putLE16(f, t.key == "reference" ? 0 : 2,
                    static_cast<std::uint16_t>(numberIn(t.value(), -32768, 32767, t.key)));
        else if (!t.hasValue && t.key == "and-mode")
            putLE16(f, 4, getLE16(f, 4) | 1);
        else if (t.hasValue && t.key == "flags")
            putLE16(
                f, 4,
                static_cast<std::uint16_t>(getLE16(f, 4) | numberIn(t.value(), 0, 65535, "flags")));
        else
            throw SourceTextError(s.line, "unknown word \"" + std::string(t.key) + "\"");
    }
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        try {
            const auto tokens = tokenize(s.lines[i]);
            if (tokens.empty()) continue;
            if (tokens[0].key != "groups" || tokens[0].hasValue)
                throw std::string("\"groups\" expected");
            for (std::size_t k = 1; k < tokens.size(); ++k) {
                if (!tokens[k].hasValue) throw std::string("VALUE=GROUP expected");
                const auto v = numberIn(tokens[k].key, 0, 95, "value");
                put8(f, 6 + static_cast<std::size_t>(v),
                     static_cast<std::uint8_t>(numberIn(tokens[k].value(), -128, 127, "group")));
            }
        } catch (const std::string& m) {
            throw SourceTextError(s.lineNumbers[i], m);
        }
    }
}

}  // namespace sf::textform
