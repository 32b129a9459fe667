// "Parameter templates" (also the chooser of a template) and "Bit range of
// parameter": thin views over sf::TemplateEditor.
#pragma once

#include <QDialog>

#include "patchtools/templates.h"

class QLineEdit;
class QPushButton;

namespace sf::gui {

class ListModel;
class ListView;

class BitRangeDialog : public QDialog {
    Q_OBJECT
  public:
    BitRangeDialog(int start, int count, QWidget* parent);
    QLineEdit* start() const { return start_; }
    QLineEdit* count() const { return count_; }

  private:
    QLineEdit* start_;
    QLineEdit* count_;
};

class ParamEditorDialog : public QDialog {
    Q_OBJECT
  public:
    ParamEditorDialog(TemplateEditor& editor, QWidget* parent);
    ListView* list() const { return list_; }
    int selectedRow() const;

    // A click or F2 on a cell: a toggle, the type menu or the edit box.
    void activateCell(int row, int column, const QPoint& globalPos);
    // The type menu's entries (the "Bit(s)" ones ask for the bit range).
    void chooseType(int row, TemplateTypeChoice choice);

  private:
    void relist(int select);
    void updateButtons();

    TemplateEditor& editor_;
    ListModel* model_;
    ListView* list_;
    QPushButton* addButton_;
    QPushButton* deleteButton_;
};

// Runs the templates dialog on a duplicate of `data`. On OK `data` takes the
// duplicate (template edits stay even when no row is chosen) with its
// references repaired, and the selected row is answered; otherwise -1.
int chooseTemplate(QWidget* parent, MacroData& data);

}  // namespace sf::gui
