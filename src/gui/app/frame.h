// The main window: menus, control bar, status bar, the MDI client with one
// window per document, the floating context help window, and the commands
// that act on the active document.
//
// Other parts of the program plug in through:
//   installFrameExtensions (frame_extensions.cpp)  one call per feature, at start-up
//   SFFrameWindow::instance()            the one main window
//   commandAction("actionXyz")           a menu command (QAction by object
//                                        name), present and disabled until
//                                        its feature connects and enables it
//   documents()                          the document framework (documents.h):
//                                        register types, open files, add documents
//   activeSourceView(), sourceViews()    the driver source windows
//   SysforgeApp::instance()->preferences() / config()   (sysforgeapp.h)
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <memory>

#include "app/documents.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QToolBar;

namespace sf {
struct Preferences;
class WindowLayout;
}  // namespace sf

namespace sf::gui {

class SourceView;
class SourceDocument;
class SourceDocType;
class HelpWindow;
class SysforgeApp;

// The MDI client; carries out "Close &all", "&Minimize all", "&Restore all"
// and the arrangements of the "&Window" menu.
class SysforgeMDIClient : public QMdiArea {
    Q_OBJECT
  public:
    explicit SysforgeMDIClient(QWidget* parent = nullptr);

    void minimizeAll();
    void restoreAll();
    // Side by side, each window the full height.
    void tileVertically();
    // One above the other, each window the full width.
    void tileHorizontally();
    // Lines up the minimised windows along the bottom edge.
    void arrangeMinimized();
};

class SFFrameWindow : public QMainWindow {
    Q_OBJECT
  public:
    // `prefs` and `layout` belong to the application object and outlive the window.
    SFFrameWindow(Preferences& prefs, WindowLayout* layout, QWidget* parent = nullptr);
    ~SFFrameWindow() override;

    static SFFrameWindow* instance();

    // A menu command by its object name ("actionSave", "actionCheckDriver"...),
    // or null.
    QAction* commandAction(const QString& objectName) const;
    QStringList commandNames() const;

    SysforgeMDIClient* client() const { return client_; }
    DocumentManager& documents() { return *docs_; }
    SourceDocType& sourceType() const { return *sourceType_; }

    // The source view of the active document window, or null.
    SourceView* activeSourceView() const;
    SourceDocument* activeSourceDocument() const;
    std::vector<SourceView*> sourceViews() const;

    // Opens files (the command line, a second start, dropped files); each
    // one that cannot be read shows its message and opens nothing.
    void openFiles(const QStringList& paths);

    // Puts a setting's help text into the floating help window; opens the
    // window only with `force` (the "&Context help" command).
    void showContextHelp(const QString& text, bool force);
    HelpWindow* contextHelpWindow() const;

    // Every source view writes its numbers again (the hexadecimal prefix changed).
    void refreshAllValues();

    // Every command that reads or saves documents calls this first: an edit
    // box still open in any source window is committed as its Enter would.
    void commitPendingEdits();

    // Commands (also reachable through their actions).
    void runPreferences();
    void saveAndRun();
    void showAbout();

    // Puts the bars back as a previous run left them (QMainWindow::saveState).
    void restoreBars(const QByteArray& state);

    // Brings the window to the front (after a hand-over from a second start).
    void raiseToFront();

  signals:
    // The active document window changed (or none is active).
    void activeDocumentChanged(sf::gui::Document* doc);
    // The window was closed for good (every document closed): the program ends.
    void closed();

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QAction* addCommand(QMenu* menu, const QString& objectName, const QString& text,
                        const QKeySequence& key = {}, const QString& icon = {});
    void buildMenus();
    void buildControlBar();
    void subWindowActivated();
    void updateCommands();
    void updateWindowMenu();
    void fillWindowList();
    void updateOptionChecks();
    void viewCreated(Document* doc, QWidget* view);
    void toggleViewOption(int which);
    void undoRedo(bool redo);

    Preferences& prefs_;
    WindowLayout* layout_;
    SysforgeMDIClient* client_;
    DocumentManager* docs_;
    SourceDocType* sourceType_ = nullptr;
    QHash<QString, QAction*> commands_;
    QMenu* editMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QActionGroup* windowList_ = nullptr;
    QToolBar* controlBar_ = nullptr;
    QLabel* statusText_ = nullptr;
    QPointer<QWidget> lastEditView_;
    QString wantedTitle_;
};

}  // namespace sf::gui
