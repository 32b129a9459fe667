// State and actions of the "Macro editor builder" dialog, and how its result
// goes back into the module.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "patchtools/macrodata.h"
#include "patchtools/macrolist.h"

namespace sf {

// A row of the macro list: a macro, or one of its parameters (param >= 0).
struct MacroSel {
    int macro = 0;
    int param = -1;
    bool isMacro() const { return param < 0; }
    friend bool operator==(const MacroSel&, const MacroSel&) = default;
};

class MacroEditor {
  public:
    // Works on `data`; a module without a macro list gets an empty one.
    explicit MacroEditor(MacroData data);

    const MacroData& data() const { return data_; }
    MacroData takeData() { return std::move(data_); }
    // The dialog's copy after the chooser, the filter or the patch
    // information dialog handed theirs back.
    void replaceData(MacroData data);

    // False when the stored list is not consistent: it is then shown empty and
    // cannot be changed.
    bool editable() const { return layout_.has_value(); }
    int macroCount() const;
    int parameterCount(int macro) const;
    MacroView macro(int index) const;

    // Cells in column order "Macro Name", "From", "To", "Type", "Group".
    std::array<std::string, 5> cells(const MacroSel& row) const;
    std::string label(const MacroSel& row) const;

    bool canAddMacro() const { return addMacroRefusal().empty(); }
    std::string addMacroRefusal() const;
    bool canAddParameter(const std::optional<MacroSel>& sel) const;
    // Why a parameter cannot be added (to `macro`, when given).
    std::string addParameterRefusal(int macro = -1) const;
    bool canDelete(const std::optional<MacroSel>& sel) const;

    // Each answers the row to select afterwards.
    std::optional<MacroSel> addMacro();
    std::optional<MacroSel> addParameter(const MacroSel& sel, int templateIndex);
    std::optional<MacroSel> remove(const MacroSel& sel);

    // In-place edits: on a macro row the columns Name, From, To and Group; on
    // a parameter row the "From" column (the offset). False when not editable.
    bool editCell(const MacroSel& row, MacroColumn column, std::string_view text);
    bool setKind(int macro, int kind);
    bool setParameterTemplate(const MacroSel& row, int templateIndex);

    // Where parameter `row` stands once the template chooser has left
    // `templateCount` templates and its repair has deleted every parameter
    // referring beyond them; nothing when `row` itself is deleted. Asked
    // before the repaired data is taken over.
    std::optional<MacroSel> afterTemplateRepair(const MacroSel& row, int templateCount) const;

    // The row after `sel` moved to a valid one ("keep" after a relist).
    std::optional<MacroSel> keep(const std::optional<MacroSel>& sel) const;

  private:
    bool valid(const MacroSel& s) const;
    void relayout();

    MacroData data_;
    std::optional<MacroLayout> layout_;
};

// OK or Cancel of the macro editor builder: with a result, the module takes
// it (an emptied macro list leaves a null slot); in both cases a module
// without templates keeps no template block.
void storeMacroEdit(SourceRecord& r, int module, const MacroData* result);

}  // namespace sf
