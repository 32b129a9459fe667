#include "patchtools/macroeditor.h"

#include <algorithm>

#include "patchtools/patchinfo.h"

namespace sf {

MacroEditor::MacroEditor(MacroData data) : data_(std::move(data)) {
    if (!data_.macros) data_.macros = emptyMacroList();
    relayout();
}

void MacroEditor::replaceData(MacroData data) {
    data_ = std::move(data);
    if (!data_.macros) data_.macros = emptyMacroList();
    relayout();
}

void MacroEditor::relayout() {
    layout_ = macroLayout(*data_.macros);
}

int MacroEditor::macroCount() const {
    return layout_ ? static_cast<int>(layout_->macros.size()) : 0;
}

int MacroEditor::parameterCount(int m) const {
    if (m < 0 || m >= macroCount()) return 0;
    return static_cast<int>(layout_->macros[static_cast<std::size_t>(m)].paramCount);
}

MacroView MacroEditor::macro(int index) const {
    if (index < 0 || index >= macroCount()) return {};
    return readMacro(*data_.macros, *layout_, index);
}

bool MacroEditor::valid(const MacroSel& s) const {
    return s.macro >= 0 && s.macro < macroCount() && s.param < parameterCount(s.macro);
}

std::array<std::string, 5> MacroEditor::cells(const MacroSel& row) const {
    if (!valid(row)) return {};
    const MacroView v = macro(row.macro);
    if (row.isMacro())
        return {v.name, std::to_string(v.from), std::to_string(v.to), macroKindText(v.kind),
                nonNegativeText(v.group)};
    const MacroView::Param& p = v.params[static_cast<std::size_t>(row.param)];
    return {data_.templateName(p.templateIndex), std::to_string(p.offset), {}, {}, {}};
}

std::string MacroEditor::label(const MacroSel& row) const {
    if (row.isMacro()) return std::to_string(row.macro + 1);
    return std::to_string(row.macro + 1) + "-" + std::to_string(row.param + 1);
}

std::string MacroEditor::addMacroRefusal() const {
    return layout_ ? refuseAddMacro(*layout_, data_.macros->size()) : refuseAddMacro(*data_.macros);
}

std::string MacroEditor::addParameterRefusal(int macro) const {
    return layout_ ? refuseAddParameter(*layout_, data_.macros->size(), macro)
                   : refuseAddParameter(*data_.macros);
}

bool MacroEditor::canAddParameter(const std::optional<MacroSel>& sel) const {
    return sel && valid(*sel) && addParameterRefusal(sel->macro).empty();
}

bool MacroEditor::canDelete(const std::optional<MacroSel>& sel) const {
    return sel && valid(*sel);
}

std::optional<MacroSel> MacroEditor::addMacro() {
    if (!layout_) return std::nullopt;
    auto index = sf::addMacro(*data_.macros, *layout_);
    relayout();
    if (!index) return std::nullopt;
    return MacroSel{*index, -1};
}

std::optional<MacroSel> MacroEditor::addParameter(const MacroSel& sel, int templateIndex) {
    if (!canAddParameter(sel)) return std::nullopt;
    auto index = sf::addParameter(*data_.macros, *layout_, sel.macro, templateIndex);
    relayout();
    if (!index) return std::nullopt;
    return MacroSel{sel.macro, *index};
}

std::optional<MacroSel> MacroEditor::remove(const MacroSel& sel) {
    if (!canDelete(sel)) return std::nullopt;
    if (sel.isMacro()) {
        deleteMacro(*data_.macros, *layout_, sel.macro);
        relayout();
        if (macroCount() == 0) return std::nullopt;
        return MacroSel{std::max(sel.macro - 1, 0), -1};
    }
    deleteParameter(*data_.macros, *layout_, sel.macro, sel.param);
    relayout();
    return MacroSel{sel.macro, sel.param - 1};
}

bool MacroEditor::editCell(const MacroSel& row, MacroColumn column, std::string_view text) {
    if (!valid(row)) return false;
    bool done = false;
    if (row.isMacro())
        done = setMacroText(*data_.macros, row.macro, column, text);
    else if (column == MacroColumn::From)
        done = setParameterOffset(*data_.macros, row.macro, row.param, text);
    relayout();
    return done;
}

bool MacroEditor::setKind(int m, int kind) {
    const bool done = setMacroKind(*data_.macros, m, kind);
    relayout();
    return done;
}

bool MacroEditor::setParameterTemplate(const MacroSel& row, int templateIndex) {
    if (!valid(row) || row.isMacro()) return false;
    const bool done = sf::setParameterTemplate(*data_.macros, row.macro, row.param, templateIndex);
    relayout();
    return done;
}

std::optional<MacroSel> MacroEditor::afterTemplateRepair(const MacroSel& row,
                                                         int templateCount) const {
    if (!valid(row) || row.isMacro()) return std::nullopt;
    const MacroView m = macro(row.macro);
    if (m.params[static_cast<std::size_t>(row.param)].templateIndex >= templateCount)
        return std::nullopt;
    const auto kept = std::count_if(
        m.params.begin(), m.params.begin() + row.param,
        [templateCount](const MacroView::Param& p) { return p.templateIndex < templateCount; });
    return MacroSel{row.macro, static_cast<int>(kept)};
}

std::optional<MacroSel> MacroEditor::keep(const std::optional<MacroSel>& sel) const {
    if (macroCount() == 0) return std::nullopt;
    if (!sel) return std::nullopt;
    if (valid(*sel)) return sel;
    // The list got shorter: the last row that still exists.
    if (sel->macro < macroCount()) return MacroSel{sel->macro, parameterCount(sel->macro) - 1};
    const int last = macroCount() - 1;
    return MacroSel{last, parameterCount(last) - 1};
}

void storeMacroEdit(SourceRecord& r, int module, const MacroData* result) {
    if (result) {
        result->storeInto(r, module);
        auto& macros = r.block(module, rec::kSlotMacros);
        if (macros && (macros->size() < 2 || getLE16(ConstByteSpan(*macros), 0) == 0))
            macros.reset();
    }
    if (r.modU16(module, rec::kModTemplateCount) == 0) r.block(module, rec::kSlotTemplates).reset();
}

}  // namespace sf
