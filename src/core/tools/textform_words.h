// The words of the text form of a source: numbers, quoted texts of driver
// fields and the `key=value` words of the block line forms. Every reader
// here throws a plain std::string message; the caller adds the line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bytes.h"

namespace sf::textform {

// Without leading blanks and trailing blanks and CR.
std::string_view trim(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);

std::string hexByte(std::uint8_t b);
std::string dollarHex(std::uint32_t v);

// A whole number: decimal with an optional sign, or hexadecimal after "$",
// "0x" or "&H" (any case).
std::optional<std::int64_t> parseNumber(std::string_view s);
// Two hexadecimal digits.
std::optional<std::uint8_t> hexPair(std::string_view s);
// A number of `text` between `min` and `max`; `what` names it in the message.
std::int64_t numberIn(std::string_view text, std::int64_t min, std::int64_t max,
                      std::string_view what);

// Texts of driver fields: Windows-1252 bytes shown as UTF-8 between quotes;
// the quote, the backslash, the zero byte, control bytes and the bytes the
// character set leaves undefined are escaped, so that every byte of the field
// (trailing zeros aside) is written.
std::string quoteBytes(std::string_view bytes);
std::string quoteField(ConstByteSpan field);
// Decodes a quoted text starting at s[pos] (the opening quote); answers the
// bytes and moves pos behind the closing quote.
std::string unquote(std::string_view s, std::size_t& pos);
// Stores `bytes` into `field`, zero-filled behind them.
void putText(ByteSpan field, std::string_view bytes, std::string_view what);

// One word of a line form: `word`, `key=value`, `"text"` or `key="text"`.
// Views into the line it was read from, except a quoted text, which is kept
// decoded.
struct Token {
    std::string_view key;
    std::string_view text;
    std::string decoded;
    bool hasValue = false;
    bool quoted = false;
    std::string_view value() const { return quoted ? std::string_view(decoded) : text; }
};

std::vector<Token> tokenize(std::string_view s);

// Appends " key=v" to a line form, unless v is 0 and not `always`.
void addNumber(std::string& line, const char* key, std::int64_t v, bool always = false);

}  // namespace sf::textform
