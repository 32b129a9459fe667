// Parameter templates: how one value lies in a patch (a byte, a 16-bit word or
// a run of bits), signed or not, with its minimum, maximum and default. The
// template dialog edits the module's list; macro parameters, the macro filter
// and the patch information descriptor refer to templates by index.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "patchtools/macrodata.h"

namespace sf {

namespace param_template {
inline constexpr std::size_t kSize = 28;
inline constexpr std::size_t kType = 0;
inline constexpr std::size_t kBitStart = 1;
inline constexpr std::size_t kBitCount = 2;
inline constexpr std::size_t kFlags = 3;
inline constexpr std::size_t kMin = 4;
inline constexpr std::size_t kMax = 6;
inline constexpr std::size_t kDef = 8;
inline constexpr std::size_t kName = 10;
inline constexpr std::size_t kNameSize = 18;
inline constexpr int kNameChars = 16;
inline constexpr std::uint8_t kSigned = 0x01;
inline constexpr std::uint8_t kLittleEndian = 0x04;
inline constexpr int kMaxTemplates = 100;
}  // namespace param_template

struct TemplateView {
    std::uint8_t type = 0;
    std::int8_t bitStart = 0, bitCount = 0;
    std::uint8_t flags = 0;
    std::int16_t min = 0, max = 0, def = 0;
    std::string name;
    bool isSigned() const { return (flags & param_template::kSigned) != 0; }
};

// The entries of the "Type" pop-up menu, in menu order.
enum class TemplateTypeChoice { Byte, WordLittle, WordBig, BitsLittle, BitsBig };
const char* templateTypeMenuText(TemplateTypeChoice c);

// The "Type" column text.
std::string templateTypeText(const TemplateView& t);

enum class TemplateColumn { Name = 0, Type = 1, Signed = 2, Min = 3, Max = 4, Def = 5 };

// State and actions of the template list, on a duplicate of a module's data.
class TemplateEditor {
  public:
    explicit TemplateEditor(MacroData data);

    const MacroData& data() const { return data_; }
    MacroData takeData() { return std::move(data_); }

    int count() const;
    TemplateView get(int index) const;

    bool canAdd() const { return count() < param_template::kMaxTemplates; }
    // Appends "Untitled %d"; answers its index (nothing at 100 templates).
    std::optional<int> add();
    // Answers the row to select afterwards (nothing when the list is empty).
    std::optional<int> remove(int index);

    void toggleSigned(int index);
    // The menu entries without a dialog (Byte, the two Words).
    void setType(int index, TemplateTypeChoice choice);
    // OK of "Bit range of parameter" after one of the "Bit(s)" entries.
    void setBitRange(int index, std::string_view startText, std::string_view countText,
                     bool littleEndianEntry);
    // In-place edit of "Parameter", "Min", "Max" or "Def".
    bool setText(int index, TemplateColumn column, std::string_view text);

  private:
    std::size_t at(int index) const {
        return static_cast<std::size_t>(index) * param_template::kSize;
    }
    MacroData data_;
};

// After the chooser's OK: every reference to a template that no longer exists
// is repaired. Parameters are deleted, the filter's and the patch
// information's references become -1.
void repairTemplateReferences(MacroData& data);

// The chooser's OK: `target` becomes the edited data with its references
// repaired; answers the chosen template (or -1).
int acceptTemplateChoice(MacroData& target, MacroData edited, std::optional<int> selected);

}  // namespace sf
