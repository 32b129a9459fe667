// The text form of a driver source: UTF-8 text that people can read, review
// and merge, and from which the very same source is built again.
//
//   sysforge source text 1
//   # General settings / Identification / Name
//   4 = "Synth 2000"
//   # Module 1 / Bank handling / Sub-bank definitions / Sub-bank #1 / ROM patch names
//   265:0:0 = rom-names {
//   | Piano
//   | Strings
//   }
//   # Bytes without a setting
//   @G+2532 = 01 00 7F
//
// One `REF = VALUE` line per value that differs from a new source, in tree
// order, in the notation of the Value column (hexadecimal always with "$"),
// each under a comment with the row's label path. Blocks are sections
// `REF = KIND [ATTRIBUTES] {` ... `}` in a line form of their own; a block
// whose bytes the line form cannot reproduce exactly is written as hex
// (`KIND hex size=N`). Bytes that no setting covers (reserved words, bytes
// after text terminators, stray bits of flag words) follow each part as
// `@G+OFFSET` / `@M<module>+OFFSET` hex lines.
//
// The text describes the source as its file holds it: building the source
// from the text and saving it gives the same file, byte for byte, and the
// text of the result is the same text.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "source/record.h"

namespace sf {

inline constexpr std::string_view kSourceTextHeader = "sysforge source text 1";

// The text of a source, or nothing when the source cannot be stored (no
// module with a valid name, or a block too large); `why` then tells.
std::optional<std::string> exportSourceText(const SourceRecord& record, std::string* why = nullptr);

// A text that cannot be read: the line (1-based; 0 when the text as a whole
// is wrong) and what is wrong with it. what() gives "line N: message".
class SourceTextError : public std::runtime_error {
  public:
    SourceTextError(int line, const std::string& message);
    int line() const { return line_; }
    const std::string& message() const { return message_; }

  private:
    int line_;
    std::string message_;
};

// Builds a source from its text; throws SourceTextError.
std::unique_ptr<SourceRecord> importSourceText(std::string_view text);

}  // namespace sf
