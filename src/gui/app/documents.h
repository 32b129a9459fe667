// The document framework of the editor.
//
// A document type (DocumentType) is registered once with the frame's
// DocumentManager; it names its file filters and opens or creates documents.
// A Document owns its data and makes the widget that shows it; the manager
// gives every document one window (DocumentWindow) in the main window's MDI
// client, asks the questions before closing or reverting, reuses the window
// of a file that is already open, and remembers the last folder and filter
// per type in the preferences ("Doc<type name>" sections).
//
// Plugging in a new type (for instance binary files):
//
//   class MemoryDocument : public sf::gui::Document { ... };  // isModified, save, createView
//   class MemoryDocType : public sf::gui::DocumentType { ... };  // name "Memory", filters, open
//   auto& docs = SFFrameWindow::instance()->documents();
//   docs.registerType(std::make_unique<MemoryDocType>());
//   connect(frame->commandAction("actionOpenBinaryFile"), &QAction::triggered,
//           [&docs] { docs.openWithDialog("Memory"); });
//
// A document made in memory (a captured bulk, a generated list driver) is
// shown with DocumentManager::addDocument. The Save, Save as, Revert and
// Close commands of the frame then work on it like on any other.
#pragma once

#include <QMdiSubWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QMdiArea;

namespace sf {
struct Preferences;
class WindowLayout;
}  // namespace sf

namespace sf::gui {

class DocumentType;

class Document : public QObject {
    Q_OBJECT
  public:
    explicit Document(DocumentType& type) : type_(type) {}
    ~Document() override = default;

    DocumentType& type() const { return type_; }

    // The file the document was read from or last saved to; empty for a
    // document that has never been saved.
    QString filePath() const { return path_; }
    bool hasFile() const { return !path_.isEmpty(); }
    void setFilePath(const QString& path) { path_ = path; }
    // The file's name, or the provisional name of a new document.
    QString displayName() const;
    void setProvisionalName(const QString& name) { provisional_ = name; }

    virtual bool isModified() const = 0;
    // The file a save to `requested` writes (a type may settle the name, as
    // driver sources do with their extension).
    virtual QString fileNameFor(const QString& requested) const { return requested; }
    // Writes the document to fileNameFor(`path`) (showing its own messages through the
    // prompter on failure); afterwards it is unmodified.
    virtual bool save(const QString& path) = 0;
    // Finishes an edit its view has open (an edit box still being typed in)
    // as the user's Enter would, so that what the user sees is what a save,
    // a close or a tool reads.
    virtual void commitPendingEdit() {}
    // The widget that shows and edits the document, made once per window
    // (and again when the document is reverted). The window owns it.
    virtual QWidget* createView(QWidget* parent) = 0;

  signals:
    // Emitted by the document whenever its modified state may have changed.
    void modifiedChanged(bool modified);

  private:
    DocumentType& type_;
    QString path_;
    QString provisional_;
};

class DocumentType {
  public:
    virtual ~DocumentType() = default;
    // Short name: the preferences section is "Doc" + name ("DriverSource", "Memory").
    virtual QString name() const = 0;
    virtual QString description() const = 0;
    // Qt filter strings ("Driver source (*.d)"), the first one the default.
    virtual QStringList openFilters() const = 0;
    virtual QStringList saveFilters() const = 0;
    // Added by "Save as..." to a name typed without one ("d"); empty for none.
    virtual QString defaultExtension() const = 0;
    // Whether a dropped or handed-over file is meant for this type (by its
    // name or first bytes); the first registered type that accepts it opens it.
    virtual bool accepts(const QString& path) const = 0;
    // Reads a file; null when it cannot be read (the reason has been shown).
    virtual std::unique_ptr<Document> open(const QString& path) = 0;
    // "New"; null for a type that has no empty document.
    virtual std::unique_ptr<Document> create() { return nullptr; }
};

class DocumentManager;

// The MDI window of one document; it owns the document and its view.
class DocumentWindow : public QMdiSubWindow {
    Q_OBJECT
  public:
    DocumentWindow(DocumentManager& manager, std::unique_ptr<Document> doc);
    ~DocumentWindow() override;

    Document* document() const { return doc_.get(); }
    QWidget* view() const { return widget(); }
    // Puts another document (a reverted copy) in place, with a new view.
    void replaceDocument(std::unique_ptr<Document> doc);
    void updateTitle();
    // The next close happens without the close question (already asked).
    void setCloseApproved(bool approved) { closeApproved_ = approved; }
    // The place the window had when it was last neither maximised nor
    // minimised; empty when it never was.
    QRect normalRect() const { return normal_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void attach();
    void keepNormalRect();
    QRect normal_;
    DocumentManager& manager_;
    std::unique_ptr<Document> doc_;
    bool closeApproved_ = false;
};

class DocumentManager : public QObject {
    Q_OBJECT
  public:
    enum class DialogMode { Open, Save };
    // Asks for a file name: (parent, mode, caption, folder, filters, chosen
    // filter index in/out) -> the path, empty when cancelled. The default uses
    // the platform's file dialogs; tests put their own in place.
    using FileDialog = std::function<QString(QWidget*, DialogMode, const QString&, const QString&,
                                             const QStringList&, int*)>;

    DocumentManager(QMdiArea& client, Preferences& prefs, WindowLayout* layout,
                    QObject* parent = nullptr);
    ~DocumentManager() override;

    void registerType(std::unique_ptr<DocumentType> type);
    DocumentType* type(const QString& name) const;
    const std::vector<std::unique_ptr<DocumentType>>& types() const { return types_; }

    void setFileDialog(FileDialog dialog) { fileDialog_ = std::move(dialog); }
    // The file dialog in use, for commands that ask for other files (export, import).
    const FileDialog& fileDialog() const { return fileDialog_; }

    // "New" of a type (the first registered type by default).
    Document* newDocument(const QString& typeName = {});
    // Opens `path` (the type chosen by accepts(), or the given one). A file
    // that is already open is not read again: its window is activated.
    // Answers null when the file could not be read.
    Document* open(const QString& path, const QString& typeName = {});
    // "Open driver..." and the like: the open dialog of a type, then open().
    Document* openWithDialog(const QString& typeName);
    // Shows a document made in memory in a new window.
    Document* addDocument(std::unique_ptr<Document> doc);

    // "Save": under the current name, or "Save as..." for a new document.
    bool save(Document* doc);
    // "Save as...": the save dialog, the default extension added to a name
    // typed without one. Refuses a name that another open document uses; an
    // existing file other than the document's own is replaced only after a
    // Yes, and No shows the dialog again.
    bool saveAs(Document* doc);
    bool saveAs(Document* doc, const QString& path);
    // "&Revert to saved...": asks when modified, then reads the file again.
    bool revert(Document* doc);
    // "&Close": asks when modified; answers whether the window closed.
    bool close(Document* doc);
    // Closing the program: asks for every modified document in turn, then
    // closes all windows. Answers false when the user cancelled.
    bool closeAll();

    std::vector<Document*> documents() const;
    Document* activeDocument() const;
    DocumentWindow* windowOf(const Document* doc) const;
    QMdiArea& client() const { return client_; }

    // Asks the close question for one window (used by its close event).
    bool mayCloseWindow(DocumentWindow& w);
    // A window is closing: remember its geometry by file.
    void windowClosing(DocumentWindow& w);

  signals:
    // A document got a window; `view` is its widget (made by createView).
    void viewCreated(sf::gui::Document* doc, QWidget* view);
    void documentsChanged();
    // A document's title or modified state changed.
    void documentStateChanged(sf::gui::Document* doc);

  private:
    friend class DocumentWindow;
    Document* show(std::unique_ptr<Document> doc);
    DocumentType* typeFor(const QString& path) const;
    // The file a save of `doc` to `typed` writes: extension added, made absolute.
    QString finalName(const Document& doc, const QString& typed) const;
    // Refuses (with its message) a file that another window has open.
    bool openElsewhere(const Document& doc, const QString& path) const;
    QString startFolder(const DocumentType& type) const;
    void rememberFolder(const DocumentType& type, const QString& file, int filter, bool open);

    QMdiArea& client_;
    Preferences& prefs_;
    WindowLayout* layout_;
    std::vector<std::unique_ptr<DocumentType>> types_;
    FileDialog fileDialog_;
    int untitledCount_ = 0;
};

}  // namespace sf::gui
