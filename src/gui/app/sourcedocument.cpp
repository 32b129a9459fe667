#include "app/sourcedocument.h"

#include <QFile>
#include <QFileInfo>

#include "editor/document.h"
#include "tools/drivercheck.h"
#include "source/sourcefile.h"
#include "ui/qtprompter.h"

namespace sf::gui {

SourceDocument::SourceDocument(DocumentType& type, std::unique_ptr<SourceDoc> doc)
    : Document(type), doc_(std::move(doc)) {}

SourceDocument::~SourceDocument() {
    // A view that outlives us must not reach the document any more.
    delete view_.data();
}

bool SourceDocument::isModified() const {
    return doc_->isModified();
}

QString SourceDocument::fileNameFor(const QString& requested) const {
    return QString::fromStdString(
        sourceFilePath(std::filesystem::path(requested.toStdString())).string());
}

bool SourceDocument::save(const QString& path) {
    // A driver with errors is saved only when the user wants it anyway.
    if (!confirmSaveDespiteErrors(doc_->working(), prompter())) return false;
    const bool ok = doc_->save(std::filesystem::path(path.toStdString()), &prompter());
    emit modifiedChanged(doc_->isModified());
    return ok;
}

void SourceDocument::commitPendingEdit() {
    if (view_) view_->commitPendingEdit();
}

QWidget* SourceDocument::createView(QWidget* parent) {
    auto& t = static_cast<SourceDocType&>(type());
    view_ = new SourceView(*doc_, t.viewOptions(), parent);
    connect(view_, &SourceView::modifiedChanged, this, &Document::modifiedChanged);
    return view_;
}

QStringList SourceDocType::openFilters() const {
    return {QStringLiteral("Driver source (*.d)"), QStringLiteral("Driver source backups (*.bak)"),
            QStringLiteral("All files (*)")};
}

QStringList SourceDocType::saveFilters() const {
    return {QStringLiteral("Driver source (*.d)")};
}

bool SourceDocType::accepts(const QString& path) const {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("d") || suffix == QLatin1String("bak")) return true;
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(8) == "DEV_SRCE";
}

std::unique_ptr<Document> SourceDocType::open(const QString& path) {
    std::unique_ptr<SourceDoc> doc =
        SourceDoc::open(std::filesystem::path(path.toStdString()), &prompter());
    if (!doc) return nullptr;
    return std::make_unique<SourceDocument>(*this, std::move(doc));
}

std::unique_ptr<Document> SourceDocType::create() {
    return wrap(std::make_unique<SourceDoc>(newSource()));
}

std::unique_ptr<SourceDocument> SourceDocType::wrap(std::unique_ptr<SourceDoc> doc) {
    return std::make_unique<SourceDocument>(*this, std::move(doc));
}

}  // namespace sf::gui
