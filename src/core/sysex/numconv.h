// The numeric converter: one 32-bit value shown at once as signed and unsigned
// decimal, hexadecimal, a bit pattern, an ASCII character, Roland 7-bit groups
// and 4-bit nibbles. Typing into any field recomputes the value and rewrites
// every other field.
//
// This object holds the state and the field texts; a dialog only mirrors the
// texts into its widgets and forwards the user's edits.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sf {

enum class ConverterField { Signed, Unsigned, Hex, Bits, Ascii, Roland, Nibbles };
inline constexpr int kConverterFieldCount = 7;

// Value, size and group form live on between two openings of the converter.
struct ConverterState {
    std::uint32_t value = 0;
    int size = 32;       // 8, 16 or 32
    int groupForm = 0;   // Roland and nibble groups: 0 hexadecimal, 1 decimal
};
ConverterState& savedConverterState();

class NumericConverter {
public:
    explicit NumericConverter(const ConverterState& state = savedConverterState());

    std::uint32_t value() const { return value_; }
    int size() const { return size_; }
    int groupForm() const { return groupForm_; }
    ConverterState state() const { return {value_, size_, groupForm_}; }
    // Keeps value, size and group form for the next opening.
    void store() const { savedConverterState() = state(); }

    // Current text of a field.
    const std::string& text(ConverterField f) const { return texts_[index(f)]; }
    // The "&ASCII character" label is enabled only while the field shows a character.
    bool asciiEnabled() const { return asciiEnabled_; }

    // Range texts beside the signed, unsigned and hexadecimal fields.
    const char* signedRange() const;
    const char* unsignedRange() const;
    const char* hexRange() const;

    // The user changed a field's text to `text` (already passed through the
    // field's filter). Reads the value, widens the size when needed and
    // rewrites every other field. Answers the number of warning beeps.
    // Ignored (0 beeps) while the owner is writing fields (see beginUpdate).
    int textChanged(ConverterField f, std::string_view text);
    // Types `text` into a field as keystrokes would: refused characters are
    // dropped and the field's limit applies. Answers the warning beeps.
    int type(ConverterField f, std::string_view text);

    // " B&yte", " &Word", " &Long": keeps the low 8 or 16 bits (or all).
    void chooseSize(int bits);
    // " as hexadecimal" (0) or " as decimal" (1).
    void chooseGroupForm(int form);

    // Input filters and limits of the fields; control characters always pass.
    bool accepts(ConverterField f, char c) const;
    static int limit(ConverterField f);
    std::string filter(ConverterField f, std::string_view text) const;

    // Raised while the owner writes the field widgets, so that those writes
    // are not taken as typing.
    void beginUpdate() { ++updating_; }
    void endUpdate() { --updating_; }
    bool updating() const { return updating_ > 0; }

    // Writing helpers, shared with anyone who needs one notation.
    static std::string bitsText(std::uint32_t value, int size);
    static std::string groupsText(std::uint32_t value, int groupBits, int groupForm);
    static std::string signedText(std::uint32_t value, int size);

private:
    static std::size_t index(ConverterField f) { return static_cast<std::size_t>(f); }
    void writeFields(int except);
    void widen();
    std::uint32_t readGroups(std::string_view text, int groupBits, int& beeps) const;

    std::uint32_t value_;
    int size_;
    int groupForm_;
    int updating_ = 0;
    bool asciiEnabled_ = false;
    std::array<std::string, kConverterFieldCount> texts_;
};

// Field names for command lines: "signed", "unsigned", "hex", "bits",
// "ascii", "roland", "nibbles". Answers false for an unknown name.
bool converterFieldFromName(std::string_view name, ConverterField& field);
const char* converterFieldName(ConverterField field);

}  // namespace sf
