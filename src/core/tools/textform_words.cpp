#include "tools/textform_words.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "framework/cp1252.h"

namespace sf::textform {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string hexByte(std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[b >> 4], kDigits[b & 15]};
}

std::string dollarHex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%X", static_cast<unsigned>(v));
    return buf;
}

std::optional<std::int64_t> parseNumber(std::string_view s) {
    s = trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && (s.substr(0, 2) == "0x" || s.substr(0, 2) == "0X" ||
                                s.substr(0, 2) == "&h" || s.substr(0, 2) == "&H")) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty() || s.size() > 12) return std::nullopt;
    std::int64_t v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || ptr != s.data() + s.size() || v < 0) return std::nullopt;
    return negative ? -v : v;
}

std::optional<std::uint8_t> hexPair(std::string_view s) {
    if (s.size() != 2) return std::nullopt;
    unsigned v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + 2, v, 16);
    if (ec != std::errc() || ptr != s.data() + 2) return std::nullopt;
    return static_cast<std::uint8_t>(v);
}

std::string quoteBytes(std::string_view bytes) {
    while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
    std::string out = "\"";
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == 0) {
            out += "\\0";
        } else if (b == '"' || b == '\\') {
            out += '\\';
            out += ch;
        } else if (b < 0x20 || b == 0x7F || cp1252Undefined(b)) {
            out += "\\x" + hexByte(b);
        } else {
            out += cp1252ToUtf8(std::string_view(&ch, 1));
        }
    }
    out += '"';
    return out;
}

std::string quoteField(ConstByteSpan field) {
    return quoteBytes(std::string_view(reinterpret_cast<const char*>(field.data()), field.size()));
}

std::string unquote(std::string_view s, std::size_t& pos) {
    std::string out, run;
    auto flush = [&] {
        out += utf8ToCp1252(run);
        run.clear();
    };
    ++pos;
    while (pos < s.size()) {
        const char ch = s[pos++];
        if (ch == '"') {
            flush();
            return out;
        }
        if (ch != '\\') {
            run += ch;
            continue;
        }
        flush();
        if (pos >= s.size()) break;
        const char e = s[pos++];
        if (e == '0') {
            out += '\0';
        } else if (e == '"' || e == '\\') {
            out += e;
        } else if (e == 'x' && pos + 2 <= s.size()) {
            const auto v = hexPair(s.substr(pos, 2));
            if (!v) throw std::string("bad escape \\x" + std::string(s.substr(pos, 2)));
            out += static_cast<char>(*v);
            pos += 2;
        } else {
            throw std::string("bad escape \\") + e;
        }
    }
    throw std::string("text without its closing quote");
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> tokens;
    std::size_t pos = 0;
    while (true) {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
        if (pos >= s.size()) break;
        Token t;
        if (s[pos] == '"') {
            t.decoded = unquote(s, pos);
            t.hasValue = t.quoted = true;
        } else {
            const std::size_t start = pos;
            while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t' && s[pos] != '=' &&
                   s[pos] != '"')
                ++pos;
            t.key = s.substr(start, pos - start);
            if (pos < s.size() && s[pos] == '=') {
                ++pos;
                t.hasValue = true;
                if (pos < s.size() && s[pos] == '"') {
                    t.decoded = unquote(s, pos);
                    t.quoted = true;
                } else {
                    const std::size_t vs = pos;
                    while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t') ++pos;
                    t.text = s.substr(vs, pos - vs);
                }
            } else if (pos < s.size() && s[pos] == '"') {
                throw std::string("unexpected quote after \"" + std::string(t.key) + "\"");
            }
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

std::int64_t numberIn(std::string_view text, std::int64_t min, std::int64_t max,
                      std::string_view what) {
    const auto v = parseNumber(text);
    if (!v)
        throw std::string("\"" + std::string(text) + "\" is not a number (" + std::string(what) +
                          ")");
    if (*v < min || *v > max)
        throw std::string("value out of range: " + std::string(text) + " (" + std::string(what) +
                          " takes " + std::to_string(min) + " to " + std::to_string(max) + ")");
    return *v;
}

void putText(ByteSpan field, std::string_view bytes, std::string_view what) {
    if (bytes.size() > field.size())
        throw std::string("text too long for " + std::string(what) + " (" +
                          std::to_string(field.size()) + " bytes at most)");
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    std::copy(bytes.begin(), bytes.end(), field.begin());
}

void addNumber(std::string& line, const char* key, std::int64_t v, bool always) {
    if (v == 0 && !always) return;
    line += ' ';
    line += key;
    line += '=';
    line += std::to_string(v);
}

}  // namespace sf::textform
