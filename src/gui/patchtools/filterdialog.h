// "Macro filter" (`DispatcherDialog`) and "Patch info descriptor"
// (`PatchInfoDialog`): each edits a duplicate of the macro editor's data and
// hands it back whole on OK.
#pragma once

#include <QDialog>
#include <array>

#include "patchtools/macrodata.h"

class QCheckBox;
class QLineEdit;

namespace sf::gui {

class ListModel;
class ListView;

class DispatcherDialog : public QDialog {
    Q_OBJECT
  public:
    DispatcherDialog(MacroData& data, QWidget* parent);
    ListView* list() const { return list_; }
    QLineEdit* referenceName() const { return reference_; }
    QLineEdit* offset() const { return offset_; }
    QCheckBox* andMode() const { return andMode_; }
    // "...": the template chooser; a chosen template becomes the reference.
    void chooseReference();

  private:
    void relist(int select);
    void showReference();

    MacroData& data_;
    ListModel* model_;
    ListView* list_;
    QLineEdit* reference_;
    QLineEdit* offset_;
    QCheckBox* andMode_;
};

class PatchInfoDialog : public QDialog {
    Q_OBJECT
  public:
    PatchInfoDialog(MacroData& data, QWidget* parent);
    ListView* list(int half) const { return halves_[static_cast<std::size_t>(half)].list; }
    QLineEdit* referenceName(int half) const {
        return halves_[static_cast<std::size_t>(half)].reference;
    }
    QLineEdit* offset(int half) const { return halves_[static_cast<std::size_t>(half)].offset; }
    void chooseReference(int half);

  private:
    struct Half {
        ListModel* model = nullptr;
        ListView* list = nullptr;
        QLineEdit* reference = nullptr;
        QLineEdit* offset = nullptr;
    };
    void relist(int half, int select);
    void showReferences();

    MacroData& data_;
    std::array<Half, 2> halves_;
};

// "&Filter..." and "Patch &info..." of the macro editor builder: on OK `data`
// takes the dialog's duplicate with the boxes read into it.
bool editFilter(QWidget* parent, MacroData& data);
bool editPatchInfo(QWidget* parent, MacroData& data);

}  // namespace sf::gui
