// The pieces shared by the list dialogs: a table model that asks its dialog
// for every cell, the in-place edit box `EditControl`, a tree view that
// turns a double click or F2 on a cell into one "activate" call, and the
// buttons and note line around the list.
#pragma once

#include <QAbstractTableModel>
#include <QLineEdit>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <functional>
#include <vector>

#include "source/record.h"

class QDialog;
class QHBoxLayout;
class QLabel;
class QPushButton;

namespace sf::gui {

// A flat list whose first column is the row label. Cells are drawn from the
// `text` function; an edited cell goes to `commit`, after which the dialog
// relists (refresh()).
class ListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    ListModel(QStringList headers, QObject* parent = nullptr);

    std::function<int()> rows;
    std::function<QString(int row, int column)> text;
    std::function<bool(int row, int column, const QString& typed)> commit;
    // A check mark instead of text: -1 none, 0 clear, 1 set.
    std::function<int(int row, int column)> checkState;

    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    QStringList headers_;
};

// The single-line edit box laid over a cell: a frame, the whole text
// selected, and at most limit - 1 characters when a limit is given.
class EditControl : public QLineEdit {
    Q_OBJECT
  public:
    explicit EditControl(QWidget* parent, int bufferSize = 0);
};

// Creates an EditControl for the cells the `limit` function allows (a buffer
// size; 0 for no limit, -1 for no edit box).
class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    CellDelegate(std::function<int(const QModelIndex&)> limit, QObject* parent);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

  private:
    std::function<int(const QModelIndex&)> limit_;
};

// The list control of the dialogs: one selected row, no editing by itself;
// a double click or F2 on a cell emits cellActivated, a single click
// cellClicked (with the position for a pop-up menu).
class ListView : public QTreeView {
    Q_OBJECT
  public:
    explicit ListView(QWidget* parent = nullptr);
    // Left and Right move the current cell within the row, so that F2 can
    // reach every column.
    // The selected row of a flat list, or -1.
    int selectedRow() const;
    void selectRow(int row);
    // Least widths of the columns (the label column first); each column is
    // as wide as its widest cell, and the last one reaches the right edge.
    void setColumnWidths(std::initializer_list<int> widths);
    // Fits the columns to the cells again (done by itself when the model
    // changes and when the list is resized).
    void fitColumns();
    void setModel(QAbstractItemModel* model) override;
    // Whether the last cellActivated came from F2 rather than a double click
    // (cells that act on a single click ignore the double click).
    bool activatedByKey() const { return byKey_; }

  signals:
    void cellActivated(const QModelIndex& index);
    void cellClicked(const QModelIndex& index, const QPoint& globalPos);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int contentWidth(int column) const;
    bool byKey_ = false;
    bool afterDoubleClick_ = false;
    std::vector<int> least_;
    std::vector<int> fitted_;  // the widths last set here (a user's own are kept)
};

// A button beside the list, named for the tests. It never takes Return,
// which belongs to OK.
QPushButton* sideButton(const QString& text, const QString& objectName, QWidget* parent);

// OK (the default button, accepting), Cancel (rejecting) and Help (opening
// `helpTopic`) of a list dialog.
struct DialogButtons {
    QPushButton* ok;
    QPushButton* cancel;
    QPushButton* help;
};
DialogButtons dialogButtons(QDialog* dialog, int helpTopic);

// The right-aligned OK and Cancel row of the small dialogs that edit one
// list entry; OK is the default button.
QHBoxLayout* okCancelRow(QDialog* dialog);

// The word-wrapped line under the list that explains why a command is off.
QLabel* noteLabel(QWidget* parent);

// The dialogs that grow a driver's blocks judge `candidate`, the source as
// their OK would leave it: `line` shows the room left in the driver, and
// confirmDriverRoom asks before an OK that no driver could hold (true: go on).
void showDriverRoom(QLabel* line, const SourceRecord& candidate);
bool confirmDriverRoom(const SourceRecord& candidate);

}  // namespace sf::gui
