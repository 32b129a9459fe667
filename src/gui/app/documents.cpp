#include "app/documents.h"

#include <QCloseEvent>
#include <QDataStream>
#include <QFileDialog>
#include <QFileInfo>
#include <QIODevice>
#include <QMdiArea>
#include <QMenu>
#include <QStyle>
#include <algorithm>

#include "editor/docframe.h"
#include "editor/preferences.h"
#include "editor/session.h"
#include "editor/windowplacement.h"
#include "ui/qtprompter.h"
#include "ui/text.h"

namespace sf::gui {

namespace {

namespace fs = std::filesystem;

fs::path toPath(const QString& s) {
    return std::filesystem::path(s.toStdString());
}

// The core's view of a document for the close questions.
class Closable : public ClosableDocument {
  public:
    Closable(DocumentManager& m, Document& d) : m_(m), d_(d) {}
    std::string displayName() const override { return d_.displayName().toStdString(); }
    bool isModified() const override { return d_.isModified(); }
    bool saveForClose() override { return m_.save(&d_); }

  private:
    DocumentManager& m_;
    Document& d_;
};

QString platformFileDialog(QWidget* parent, DocumentManager::DialogMode mode,
                           const QString& caption, const QString& folder,
                           const QStringList& filters, int* filter) {
    QString selected = filters.value(filter ? *filter : 0);
    const QString joined = filters.join(QStringLiteral(";;"));
    QString path = mode == DocumentManager::DialogMode::Open
                       ? QFileDialog::getOpenFileName(parent, caption, folder, joined, &selected)
                       : QFileDialog::getSaveFileName(parent, caption, folder, joined, &selected,
                                                      QFileDialog::DontConfirmOverwrite);
    if (filter && filters.contains(selected)) *filter = static_cast<int>(filters.indexOf(selected));
    return path;
}

PlaceSize areaOf(const QMdiArea& client) {
    const QSize s = client.viewport()->size();
    return {s.width(), s.height()};
}

QRect toRect(const PlaceRect& r) {
    return {r.x, r.y, r.width, r.height};
}

// A new window's place: cascading from the top left after the windows that
// are already open, one title bar further each time.
void placeNew(QMdiArea& client, QMdiSubWindow& w) {
    int others = 0;
    for (QMdiSubWindow* s : client.subWindowList())
        if (s != &w && s->isVisible() && !s->isMinimized()) ++others;
    const int step = w.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &w) + 4;
    w.setGeometry(toRect(cascadePlace(areaOf(client), others, step)));
}

std::vector<std::uint8_t> encodeGeometry(const DocumentWindow& w) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(1) << w.normalRect() << qint32(w.isMaximized() ? 1 : 0);
    return {bytes.begin(), bytes.end()};
}

// A remembered place, brought inside the client; without a usable rectangle
// (a window that was only ever maximised) the default place. The maximised
// state is kept either way.
void applyGeometry(QMdiArea& client, QMdiSubWindow& w, const std::vector<std::uint8_t>& g) {
    QByteArray bytes(reinterpret_cast<const char*>(g.data()), static_cast<qsizetype>(g.size()));
    QDataStream in(bytes);
    qint32 version = 0, maximized = 0;
    QRect r;
    in >> version >> r >> maximized;
    const bool read = in.status() == QDataStream::Ok && version == 1;
    const auto usable =
        read ? usableGeometry({r.x(), r.y(), r.width(), r.height()}, areaOf(client)) : std::nullopt;
    if (usable)
        w.setGeometry(toRect(*usable));
    else
        placeNew(client, w);
    if (read && maximized) w.showMaximized();
}

}  // namespace

QString Document::displayName() const {
    if (hasFile()) return QFileInfo(path_).fileName();
    return provisional_;
}

// --- DocumentWindow ---

DocumentWindow::DocumentWindow(DocumentManager& manager, std::unique_ptr<Document> doc)
    : manager_(manager), doc_(std::move(doc)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("DocumentWindow"));
    // The window menu's own keys (Ctrl+W for its "Close") would make the
    // frame's commands ambiguous: the frame's menu owns every key.
    if (QMenu* menu = systemMenu())
        for (QAction* a : menu->actions()) a->setShortcuts({});
    attach();
}

void DocumentWindow::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    keepNormalRect();
}

void DocumentWindow::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    keepNormalRect();
}

void DocumentWindow::keepNormalRect() {
    if (!isMaximized() && !isMinimized()) normal_ = geometry();
}

DocumentWindow::~DocumentWindow() {
    // The view refers to the document: it goes first.
    delete widget();
}

void DocumentWindow::attach() {
    QWidget* view = doc_->createView(this);
    setWidget(view);
    connect(doc_.get(), &Document::modifiedChanged, this, [this] {
        updateTitle();
        emit manager_.documentStateChanged(doc_.get());
    });
    updateTitle();
    emit manager_.viewCreated(doc_.get(), view);
}

void DocumentWindow::replaceDocument(std::unique_ptr<Document> doc) {
    QWidget* old = widget();
    setWidget(nullptr);
    delete old;
    doc_ = std::move(doc);
    attach();
    emit manager_.documentStateChanged(doc_.get());
}

void DocumentWindow::updateTitle() {
    setWindowTitle(fromUtf8(documentTitle(doc_->displayName().toStdString(), doc_->isModified())));
}

void DocumentWindow::closeEvent(QCloseEvent* event) {
    if (!closeApproved_ && !manager_.mayCloseWindow(*this)) {
        event->ignore();
        return;
    }
    manager_.windowClosing(*this);
    QMdiSubWindow::closeEvent(event);
}

// --- DocumentManager ---

DocumentManager::DocumentManager(QMdiArea& client, Preferences& prefs, WindowLayout* layout,
                                 QObject* parent)
    : QObject(parent),
      client_(client),
      prefs_(prefs),
      layout_(layout),
      fileDialog_(platformFileDialog) {}

DocumentManager::~DocumentManager() = default;

void DocumentManager::registerType(std::unique_ptr<DocumentType> type) {
    DocTypePrefs& p = prefs_.docTypes[type->name().toStdString()];
    (void)p;  // the section exists from now on, so that it is saved
    types_.push_back(std::move(type));
}

DocumentType* DocumentManager::type(const QString& name) const {
    if (name.isEmpty()) return types_.empty() ? nullptr : types_.front().get();
    for (const auto& t : types_)
        if (t->name() == name) return t.get();
    return nullptr;
}

DocumentType* DocumentManager::typeFor(const QString& path) const {
    for (const auto& t : types_)
        if (t->accepts(path)) return t.get();
    return types_.empty() ? nullptr : types_.front().get();
}

Document* DocumentManager::show(std::unique_ptr<Document> doc) {
    Document* d = doc.get();
    auto* w = new DocumentWindow(*this, std::move(doc));
    client_.addSubWindow(w);
    const auto* kept =
        layout_ && d->hasFile() ? layout_->documentGeometry(toPath(d->filePath())) : nullptr;
    if (kept)
        applyGeometry(client_, *w, *kept);
    else
        placeNew(client_, *w);
    connect(w, &QObject::destroyed, this, &DocumentManager::documentsChanged, Qt::QueuedConnection);
    w->show();
    client_.setActiveSubWindow(w);
    emit documentsChanged();
    return d;
}

Document* DocumentManager::newDocument(const QString& typeName) {
    DocumentType* t = type(typeName);
    if (!t) return nullptr;
    std::unique_ptr<Document> doc = t->create();
    if (!doc) return nullptr;
    return addDocument(std::move(doc));
}

Document* DocumentManager::addDocument(std::unique_ptr<Document> doc) {
    if (!doc) return nullptr;
    if (!doc->hasFile()) doc->setProvisionalName(fromUtf8(untitledName(++untitledCount_)));
    return show(std::move(doc));
}

Document* DocumentManager::open(const QString& path, const QString& typeName) {
    const QString abs = QFileInfo(path).absoluteFilePath();
    for (Document* d : documents()) {
        if (d->hasFile() && sameFile(toPath(d->filePath()), toPath(abs))) {
            DocumentWindow* w = windowOf(d);
            if (w->isMinimized()) w->showNormal();
            client_.setActiveSubWindow(w);
            return d;
        }
    }
    DocumentType* t = typeName.isEmpty() ? typeFor(abs) : type(typeName);
    if (!t) return nullptr;
    std::unique_ptr<Document> doc = t->open(abs);
    if (!doc) return nullptr;
    doc->setFilePath(abs);
    return show(std::move(doc));
}

QString DocumentManager::startFolder(const DocumentType& type) const {
    auto it = prefs_.docTypes.find(type.name().toStdString());
    if (it != prefs_.docTypes.end() && !it->second.openPath.empty())
        return fromUtf8(it->second.openPath);
    return {};
}

void DocumentManager::rememberFolder(const DocumentType& type, const QString& file, int filter,
                                     bool open) {
    DocTypePrefs& p = prefs_.docTypes[type.name().toStdString()];
    p.openPath = QFileInfo(file).absolutePath().toStdString();
    (open ? p.openFilter : p.saveFilter) = filter;
}

Document* DocumentManager::openWithDialog(const QString& typeName) {
    DocumentType* t = type(typeName);
    if (!t) return nullptr;
    const std::string key = t->name().toStdString();
    int filter = prefs_.docTypes[key].openFilter;
    if (filter < 0 || filter >= t->openFilters().size()) filter = 0;
    QWidget* parent = client_.window();
    const QString path = fileDialog_(parent, DialogMode::Open, QString(), startFolder(*t),
                                     t->openFilters(), &filter);
    if (path.isEmpty()) return nullptr;
    rememberFolder(*t, path, filter, true);
    return open(path, t->name());
}

bool DocumentManager::save(Document* doc) {
    if (!doc) return false;
    if (!doc->hasFile()) return saveAs(doc);
    return saveAs(doc, doc->filePath());
}

bool DocumentManager::saveAs(Document* doc) {
    if (!doc) return false;
    DocumentType& t = doc->type();
    const std::string key = t.name().toStdString();
    int filter = prefs_.docTypes[key].saveFilter;
    if (filter < 0 || filter >= t.saveFilters().size()) filter = 0;
    QString folder = doc->hasFile() ? doc->filePath() : startFolder(t);
    if (!doc->hasFile()) {
        QString name = doc->displayName();
        if (!t.defaultExtension().isEmpty()) name += QLatin1Char('.') + t.defaultExtension();
        folder = folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
    }
    for (;;) {
        const QString path = fileDialog_(client_.window(), DialogMode::Save, QString(), folder,
                                         t.saveFilters(), &filter);
        if (path.isEmpty()) return false;
        rememberFolder(t, path, filter, false);
        const QString target = finalName(*doc, path);
        if (openElsewhere(*doc, target)) return false;
        if (mayReplaceFile(toPath(target), doc->hasFile() ? toPath(doc->filePath()) : fs::path(),
                           prompter()))
            return saveAs(doc, path);
        folder = target;  // No: the dialog again, at the name refused
    }
}

QString DocumentManager::finalName(const Document& doc, const QString& typed) const {
    return QFileInfo(
               doc.fileNameFor(fromUtf8(
                   withDefaultExtension(toPath(typed), doc.type().defaultExtension().toStdString())
                       .string())))
        .absoluteFilePath();
}

bool DocumentManager::openElsewhere(const Document& doc, const QString& path) const {
    for (Document* other : documents()) {
        if (other != &doc && other->hasFile() &&
            sameFile(toPath(other->filePath()), toPath(path))) {
            // Two windows on one file would overwrite each other's saves.
            prompter().message(
                "This file is already open in another window.\n" + path.toStdString(),
                MessageIcon::Stop);
            return true;
        }
    }
    return false;
}

bool DocumentManager::saveAs(Document* doc, const QString& typed) {
    if (!doc || typed.isEmpty()) return false;
    const QString path = finalName(*doc, typed);
    if (openElsewhere(*doc, path)) return false;
    const bool ok = doc->save(path);
    if (ok) doc->setFilePath(path);
    if (DocumentWindow* w = windowOf(doc)) w->updateTitle();
    emit documentStateChanged(doc);
    return ok;
}

bool DocumentManager::revert(Document* doc) {
    if (!doc || !doc->hasFile()) return false;
    if (!confirmRevert(doc->isModified(), prompter())) return false;
    std::unique_ptr<Document> fresh = doc->type().open(doc->filePath());
    if (!fresh) return false;
    fresh->setFilePath(doc->filePath());
    DocumentWindow* w = windowOf(doc);
    if (!w) return false;
    w->replaceDocument(std::move(fresh));
    return true;
}

bool DocumentManager::mayCloseWindow(DocumentWindow& w) {
    if (!w.document()) return true;
    // The window's own close button reaches here without a frame command.
    w.document()->commitPendingEdit();
    Closable c(*this, *w.document());
    return mayClose(c, prompter());
}

void DocumentManager::windowClosing(DocumentWindow& w) {
    Document* d = w.document();
    if (layout_ && d && d->hasFile())
        layout_->setDocumentGeometry(toPath(d->filePath()), encodeGeometry(w));
}

bool DocumentManager::close(Document* doc) {
    DocumentWindow* w = windowOf(doc);
    return w && w->close();
}

bool DocumentManager::closeAll() {
    std::vector<Document*> docs = documents();
    std::vector<std::unique_ptr<Closable>> wrappers;
    std::vector<ClosableDocument*> list;
    for (Document* d : docs) {
        wrappers.push_back(std::make_unique<Closable>(*this, *d));
        list.push_back(wrappers.back().get());
    }
    if (!mayCloseAll(list, prompter())) return false;
    for (Document* d : docs) {
        if (DocumentWindow* w = windowOf(d)) {
            w->setCloseApproved(true);
            w->close();
        }
    }
    return true;
}

std::vector<Document*> DocumentManager::documents() const {
    std::vector<Document*> out;
    for (QMdiSubWindow* s : client_.subWindowList(QMdiArea::StackingOrder))
        if (auto* w = qobject_cast<DocumentWindow*>(s); w && w->document() && !w->isHidden())
            out.push_back(w->document());
    return out;
}

Document* DocumentManager::activeDocument() const {
    auto* w = qobject_cast<DocumentWindow*>(client_.currentSubWindow());
    return w ? w->document() : nullptr;
}

DocumentWindow* DocumentManager::windowOf(const Document* doc) const {
    if (!doc) return nullptr;
    for (QMdiSubWindow* s : client_.subWindowList())
        if (auto* w = qobject_cast<DocumentWindow*>(s); w && w->document() == doc) return w;
    return nullptr;
}

}  // namespace sf::gui
