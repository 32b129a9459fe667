#include "source/value_editors.h"

#include <map>
#include <utility>

namespace sf::gui {

namespace {
std::map<int, ValueEditor>& byId() {
    static std::map<int, ValueEditor> m;
    return m;
}
ValueEditor& messageEditor() {
    static ValueEditor e;
    return e;
}
}  // namespace

void setValueEditor(int id, ValueEditor editor) { byId()[id] = std::move(editor); }

void setMessageEditor(ValueEditor editor) { messageEditor() = std::move(editor); }

const ValueEditor* findValueEditor(const SettingRef& ref) {
    if (auto it = byId().find(ref.id); it != byId().end() && it->second) return &it->second;
    if (ref.item && ref.item->kind == Kind::Message && messageEditor()) return &messageEditor();
    return nullptr;
}

}  // namespace sf::gui
