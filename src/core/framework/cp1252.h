// Conversion between the Windows-1252 bytes that driver texts are stored in
// and the UTF-8 text of terminals and command lines.
#pragma once

#include <string>
#include <string_view>

namespace sf {

// The five bytes the character set leaves undefined: 0x81, 0x8D, 0x8F, 0x90
// and 0x9D. Driver texts may hold them (names imported from a file), so they
// travel as the C1 control characters of the same number, U+0081 and so on,
// and come back unchanged.
bool cp1252Undefined(unsigned char byte);

// The Unicode code point of a Windows-1252 byte; an undefined byte gives its
// C1 control character.
char32_t cp1252CodePoint(unsigned char byte);

// The Windows-1252 byte of a code point, or nothing (-1) when the character
// set has no byte for it.
int cp1252ByteOf(char32_t codePoint);

// Every byte converted to UTF-8.
std::string cp1252ToUtf8(std::string_view bytes);

// The form in which values are printed: bytes below 0x20, 0x7F, the five
// undefined bytes and the backslash are written as "\xNN" (two upper-case
// hexadecimal digits), so that the output stays one line per value and
// every byte can be told apart; every other byte is converted to UTF-8.
std::string cp1252ToEscapedUtf8(std::string_view bytes);

// UTF-8 to Windows-1252: a character without a byte there becomes "?", and
// so does every byte that is not part of a well-formed UTF-8 sequence
// (overlong forms, surrogates and code points above U+10FFFF included).
std::string utf8ToCp1252(std::string_view utf8);

}  // namespace sf
