#include "editor/treeedit.h"

#include "source/message_record.h"

namespace sf {

namespace {

constexpr int kFirstStructureSetting = 175;
constexpr int kLastStructureSetting = 192;
constexpr int kOtherEditLimit = 64;

// Rows whose value is changed only through a dialog of its own.
bool usesDialog(const SettingItem& item) {
    return item.kind == Kind::Message || item.kind == Kind::DialogItem;
}

bool readOnly(const SettingItem& item) {
    return item.has(setting_flag::ReadOnly) || item.editor == Editor::None;
}

}  // namespace

bool hasChoiceMenu(const SettingItem* item) {
    return item != nullptr && item->choices != nullptr && !item->has(setting_flag::ReadOnly);
}

RowAction clickAction(const SettingItem* item, TreeColumn column, bool enabled) {
    if (item == nullptr || column != TreeColumn::Value || !enabled) return RowAction::None;
    return hasChoiceMenu(item) ? RowAction::ChoiceMenu : RowAction::None;
}

RowAction doubleClickAction(const SettingItem* item, TreeColumn column, bool enabled,
                            bool hasEditor) {
    if (item == nullptr) return RowAction::None;
    switch (column) {
        case TreeColumn::Parameter:
            return item->kind == Kind::Group ? RowAction::ToggleExpand : RowAction::None;
        case TreeColumn::Comment:
            return item->helpContext != 0 ? RowAction::HelpTopic : RowAction::HelpText;
        case TreeColumn::Value:
            break;
    }
    if (!enabled) return RowAction::None;
    if (item->kind == Kind::Group) return RowAction::ToggleExpand;
    if (usesDialog(*item)) return hasEditor ? RowAction::ValueEditor : RowAction::None;
    // Yes/no and choice values are set through their menu, on the single click.
    if (item->editor == Editor::YesNo || item->editor == Editor::Choice) return RowAction::None;
    if (readOnly(*item)) return RowAction::None;
    return RowAction::InPlaceEdit;
}

RowAction editKeyAction(const SettingItem* item, bool enabled, bool hasEditor) {
    if (item == nullptr) return RowAction::None;
    if (item->kind == Kind::Group) return RowAction::ToggleExpand;
    if (!enabled) return RowAction::None;
    if (hasChoiceMenu(item)) return RowAction::ChoiceMenu;
    return doubleClickAction(item, TreeColumn::Value, enabled, hasEditor);
}

int editLengthLimit(const SourceRecord& r, const SettingRef& ref) {
    const SettingItem* item = ref.item != nullptr ? ref.item : findSettingItem(ref.id);
    if (item == nullptr) return 0;
    if (item->kind == Kind::CharTable) return static_cast<int>(rec::kAsciiTableSize);
    if (item->kind == Kind::Text) {
        const auto field = textField(r, ref);
        return field && field->size > 0 ? static_cast<int>(field->size - 1) : 0;
    }
    return kOtherEditLimit;
}

bool canClear(const SettingItem* item) {
    return item != nullptr && item->kind == Kind::Message;
}

bool clearValue(SourceRecord& r, const SettingRef& ref) {
    const SettingItem* item = ref.item != nullptr ? ref.item : findSettingItem(ref.id);
    if (!canClear(item)) return false;
    const auto field = messageField(r, ref);
    if (!field) return false;
    writeMessage(r, *field, {}, 0);
    return true;
}

void afterValueStored(SourceRecord& r, const SettingRef& ref) {
    if (ref.id >= kFirstStructureSetting && ref.id <= kLastStructureSetting && ref.index1 >= 0 &&
        ref.index1 < rec::kModules)
        normaliseStructure(r, ref.index1);
}

bool switchIsOn(const SettingItem* item, std::string_view valueText) {
    if (item == nullptr) return false;
    if (item->editor == Editor::YesNo) return valueText == "Yes";
    if (item->editor != Editor::Flag || item->choices == nullptr ||
        item->choices[0].text == nullptr || item->choices[1].text == nullptr)
        return false;
    return valueText == item->choices[1].text;
}

}  // namespace sf
