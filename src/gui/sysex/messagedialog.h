// The message editor: "Midi Message" lists a message unit by unit, "Value"
// asks for one unit (a number, a quoted character or a tag). Both are thin
// views over sf::MessageEditor.
#pragma once

#include <QDialog>
#include <functional>
#include <span>
#include <vector>

#include "sysex/message.h"
#include "sysex/msgedit.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace sf::gui {

class ListModel;
class ListView;

class ValueDialog : public QDialog {
    Q_OBJECT
  public:
    ValueDialog(const QString& initial, QWidget* parent);
    QComboBox* field() const { return field_; }
    // The edit field's text, at most 199 characters.
    QString result() const;

  protected:
    void showEvent(QShowEvent* event) override;
    // One Enter takes a completion from the list and OK alike.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QComboBox* field_;
};

class SysexMessageDialog : public QDialog {
    Q_OBJECT
  public:
    // With `send`, a "Send..." button hands it the message as edited so far.
    SysexMessageDialog(MessageEditor& editor, QWidget* parent,
                       std::function<void(QWidget*, std::vector<MessageUnit>)> send = {});

    ListView* list() const { return list_; }
    // Opens "Value" on a row; answers whether the message changed.
    bool editRow(int row);

  private:
    void relist(int select);
    void updateButtons();
    void showNote();

    MessageEditor& editor_;
    ListModel* model_;
    ListView* list_;
    QPushButton* deleteButton_;
    QPushButton* insertButton_;
    QLabel* note_;
};

// Runs the editor on `units` (capacity of them) and `count`; on OK with a
// real change both are updated and true is answered.
bool editMessage(QWidget* parent, std::span<MessageUnit> units, int& count, int capacity,
                 int headerLength,
                 std::function<void(QWidget*, std::vector<MessageUnit>)> send = {});

}  // namespace sf::gui
