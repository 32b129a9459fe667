// The window content in which one driver source is edited: the settings tree
// (columns "Parameter", "Value", "Comment"), a filter field above it, the
// commands of the source window's "&Edit" menu, and drag and drop of values
// between views.
#pragma once

#include <QAction>
#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "source/schema.h"

class QLineEdit;
class QMenu;
class QMimeData;
class QTreeView;

namespace sf {
class SourceDoc;
}

namespace sf::gui {

// The three display switches of a view ("&Grid style", "&Show drag-and-drop
// possibilities", "&Show disabled values").
struct ViewOptions {
    bool grid = false;
    bool showCopyable = false;
    bool showDisabled = true;
};

class SourceView : public QWidget {
    Q_OBJECT
  public:
    SourceView(SourceDoc& doc, const ViewOptions& options, QWidget* parent = nullptr);
    ~SourceView() override;

    SourceDoc& document() const;

    // Builds the whole tree again, selecting `select` when given (and
    // expanding it when asked); without a row the root row "Driver" is
    // expanded.
    void build(std::optional<SettingRef> select = std::nullopt, bool expand = false);
    // Redraws every Value cell (the hexadecimal prefix changed).
    void refreshAllValues();

    // Stores `text` into the row of `ref` as the edit box does when it
    // commits (the row must be enabled); answers whether a value was stored.
    bool editValue(const SettingRef& ref, const QString& text);

    // Commits an open in-place edit box exactly as its Enter key does (a
    // text that does not parse included); answers whether one was open.
    bool commitPendingEdit();

    std::optional<SettingRef> currentRef() const;
    // Selects the row of `ref` (by id and indices), expands its parents and
    // scrolls it into view; answers false when the tree has no such row
    // (or the filter hides it).
    bool selectRef(const SettingRef& ref);

    ViewOptions options() const;
    void setOptions(const ViewOptions& options);

    // The commands of the source window's "&Edit" menu, in menu order
    // (separators included): undo, redo, clear, the three searches, the
    // filter. The frame shows them in its menu bar; the row context menu
    // uses the same actions.
    QList<QAction*> editActions() const;
    QAction* undoAction() const;
    QAction* redoAction() const;

    QTreeView* tree() const;         // the tree control (object name "RzFlexTree")
    QLineEdit* filterField() const;  // Ctrl+F

    // The three display switches as checkable actions ("&Grid style", "&Show
    // drag-and-drop possibilities", "&Show disabled values"), for a menu.
    QList<QAction*> optionActions() const;

    // Drag and drop of values between views of this process. The data names
    // this view and the dragged row; any view can then test and perform the
    // drop of it onto one of its rows.
    static QString dragMimeType();
    QMimeData* dragData(const SettingRef& ref) const;

    // Adds entries of other parts of the editor to the row menu of every
    // view, after its own, for the row of `ref`.
    using RowMenuHook = std::function<void(SourceView& view, QMenu& menu, const SettingRef& ref)>;
    static void setRowMenuHook(RowMenuHook hook);
    bool canDropOn(const QMimeData* data, const SettingRef& target) const;
    // Copies the dragged value into this view's document, builds the tree
    // again with the target row selected and takes a checkpoint. Answers
    // false when the drop is refused (nothing changes then).
    bool dropOn(const QMimeData* data, const SettingRef& target);

  signals:
    // The document's modified state may have changed (after every change,
    // undo, redo, drop).
    void modifiedChanged(bool modified);
    // The selected row's help text, for the status bar and the floating
    // context help window.
    void helpTextChanged(const QString& text);
    // A double click on a Comment without a help topic: the text goes to the
    // floating help window, which opens when it is closed.
    void contextHelpRequested(const QString& text);
    // The user toggled one of the display switches on this view.
    void optionsChanged(const sf::gui::ViewOptions& options);
    // One of the three searches was chosen on the current row
    // (mode: sf::SearchMode as int).
    void searchRequested(int mode, const sf::SettingRef& ref);

  private:
    struct Impl;
    Impl* d_;
};

}  // namespace sf::gui
