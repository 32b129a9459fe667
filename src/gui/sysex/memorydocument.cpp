#include "sysex/memorydocument.h"

#include "sysex/memoryview.h"
#include "ui/qtprompter.h"

namespace sf::gui {

namespace {
std::filesystem::path toPath(const QString& p) {
    return std::filesystem::path(p.toStdString());
}
}  // namespace

MemoryDocument::MemoryDocument(DocumentType& type, std::unique_ptr<MemoryDoc> doc)
    : Document(type), doc_(std::move(doc)) {
    if (!doc_->isUntitled()) setFilePath(QString::fromStdString(doc_->path().string()));
}

MemoryDocument::~MemoryDocument() {
    // The view refers to the bytes: it goes first.
    delete view_.data();
}

bool MemoryDocument::save(const QString& path) {
    const bool ok = doc_->saveAs(toPath(path), &prompter());
    emit modifiedChanged(doc_->isModified());
    return ok;
}

QWidget* MemoryDocument::createView(QWidget* parent) {
    view_ = new MemoryView(*doc_, parent);
    return view_;
}

QString MemoryDocType::name() const {
    return QString::fromLatin1(MemoryDocFactory::kTypeName);
}
QString MemoryDocType::description() const {
    return QString::fromLatin1(MemoryDocFactory::kDescription);
}
QStringList MemoryDocType::openFilters() const {
    return {QStringLiteral("All files (*)")};
}

std::unique_ptr<Document> MemoryDocType::open(const QString& path) {
    auto doc = MemoryDoc::open(toPath(path), &prompter());
    if (!doc) return nullptr;
    return std::make_unique<MemoryDocument>(*this, std::move(doc));
}

std::unique_ptr<MemoryDocument> MemoryDocType::fromBytes(std::vector<std::uint8_t> bytes) {
    return std::make_unique<MemoryDocument>(*this,
                                            std::make_unique<MemoryDoc>(std::move(bytes), true));
}

}  // namespace sf::gui
