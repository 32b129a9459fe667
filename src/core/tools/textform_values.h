// The values of the settings in the text form of a source: one row's value
// in the notation of the Value column, with "$" for hexadecimal.
#pragma once

#include <optional>
#include <string>

#include "source/record.h"
#include "source/schema.h"
#include "sysex/message.h"
#include "tools/settingbytes.h"

namespace sf::textform {

// The text of a row's value, or nothing when its notation cannot hold the
// stored value exactly (the bytes are then written as bytes without meaning).
std::optional<std::string> formatRow(const SourceRecord& r, const SettingRef& ref,
                                     const RowBytes& b);

// Stores a row's text; throws a plain message and changes nothing when the
// text is wrong.
void applyRow(SourceRecord& r, const SettingRef& ref, const RowBytes& b,
              const std::string& valueText);

// "$" for every hexadecimal number of the text, whatever the preference.
class HexPrefixGuard {
  public:
    HexPrefixGuard() : saved_(hexPrefixIndex()) { setHexPrefixIndex(1); }
    ~HexPrefixGuard() { setHexPrefixIndex(saved_); }
    HexPrefixGuard(const HexPrefixGuard&) = delete;
    HexPrefixGuard& operator=(const HexPrefixGuard&) = delete;

  private:
    int saved_;
};

}  // namespace sf::textform
