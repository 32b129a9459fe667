// "Patch converter" and its "Operation" dialog: thin views over
// sf::ConverterEditor and sf::OperationForm.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>

#include "patchtools/converter.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sf::gui {

class ListModel;
class ListView;

// Lets a line edit take only digits when typed into, as a number box does.
class DigitsOnly : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class OperationDialog : public QDialog {
    Q_OBJECT
  public:
    OperationDialog(const OperationForm& form, QWidget* parent);
    // The form as the user left it.
    OperationForm form() const;
    QLineEdit* box(int id) const { return boxes_.at(id); }
    void chooseType(int type);

  private:
    void updateEnabling();

    QButtonGroup* types_;
    std::map<int, QLineEdit*> boxes_;
    std::map<int, std::vector<QWidget*>> rowWidgets_;  // by type
};

class PatchConverterDialog : public QDialog {
    Q_OBJECT
  public:
    PatchConverterDialog(ConverterEditor& editor, QWidget* parent);
    ListView* list() const { return list_; }
    QLineEdit* finalSize() const { return finalSize_; }
    // Opens "Operation" on a row; answers whether it was confirmed.
    bool editRow(int row);

    void accept() override;
    // The source as OK would leave it: its driver's room is shown, and OK
    // asks before a program that no driver could hold.
    void setCandidate(std::function<std::unique_ptr<SourceRecord>()> candidate);

  private:
    void relist(int select);
    void updateButtons();

    ConverterEditor& editor_;
    ListModel* model_;
    ListView* list_;
    QPushButton* deleteButton_;
    QPushButton* insertButton_;
    QLineEdit* finalSize_;
    QLabel* note_;
    QLabel* room_;
    std::function<std::unique_ptr<SourceRecord>()> candidate_;
};

// The converter program of a module: on OK count, final size and block go
// into the record.
bool editConverter(QWidget* parent, SourceRecord& r, int module);

}  // namespace sf::gui
