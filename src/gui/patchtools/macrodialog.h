// "Macro editor builder": the macros of a module and their parameters as a
// two-level list over sf::MacroEditor. Edits go through the model so that a
// list of 1000 macros is updated row by row, never rebuilt per edit.
#pragma once

#include <QAbstractItemModel>
#include <QDialog>
#include <functional>
#include <memory>

#include "patchtools/macroeditor.h"

class QLabel;
class QPushButton;

namespace sf::gui {

class ListView;

class MacroTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    MacroTreeModel(MacroEditor& editor, QObject* parent);

    QModelIndex indexOf(const MacroSel& sel, int column = 0) const;
    static MacroSel selOf(const QModelIndex& index);

    // The edits, with the row signals the view needs.
    std::optional<MacroSel> addMacro();
    std::optional<MacroSel> addParameter(const MacroSel& sel, int templateIndex);
    std::optional<MacroSel> remove(const MacroSel& sel);
    bool setKind(int macro, int kind);
    bool setParameterTemplate(const MacroSel& sel, int templateIndex);
    // The whole data changed (templates, filter, patch information).
    void replaceData(MacroData data);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    void rowChanged(const MacroSel& sel);
    MacroEditor& editor_;
};

class MacroEditorDialog : public QDialog {
    Q_OBJECT
  public:
    MacroEditorDialog(MacroEditor& editor, QWidget* parent);
    // The source as OK would leave it with `data`: its driver's room is
    // shown, and OK asks before a change that no driver could hold.
    using Candidate = std::function<std::unique_ptr<SourceRecord>(const MacroData& data)>;
    void setCandidate(Candidate candidate);
    QLabel* roomLine() const { return room_; }
    void accept() override;

    ListView* list() const { return list_; }
    MacroTreeModel* model() const { return model_; }
    std::optional<MacroSel> selected() const;
    void select(const std::optional<MacroSel>& sel);

    // The buttons' actions.
    void addMacro();
    void addParameter();
    void removeSelected();
    void editFilter();
    void editPatchInfo();
    // A click or F2 on a cell: the kind menu, the template chooser or the edit box.
    void activateCell(const QModelIndex& index, const QPoint& globalPos);

  private:
    void updateButtons();
    // Runs `dialog` on a duplicate of the data; a changed duplicate replaces it.
    template <typename Fn>
    void onDuplicate(Fn&& dialog);

    MacroEditor& editor_;
    MacroTreeModel* model_;
    ListView* list_;
    QPushButton* addMacro_;
    QPushButton* addParameter_;
    QPushButton* delete_;
    QLabel* note_;
    QLabel* room_;
    Candidate candidate_;
};

// The macro editor data of a module: on OK the module takes the dialog's
// copy (an emptied macro list leaves a null slot).
bool editMacros(QWidget* parent, SourceRecord& r, int module);

}  // namespace sf::gui
