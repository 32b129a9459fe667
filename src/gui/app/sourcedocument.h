// Driver sources in the document framework: the document type
// "DriverSource" and the document that wraps a SourceDoc and shows it in a
// SourceView.
#pragma once

#include <functional>
#include <memory>

#include "app/documents.h"
#include "source/sourceview.h"

namespace sf {
class SourceDoc;
}

namespace sf::gui {

class SourceDocument : public Document {
    Q_OBJECT
  public:
    SourceDocument(DocumentType& type, std::unique_ptr<SourceDoc> doc);
    ~SourceDocument() override;

    SourceDoc& source() const { return *doc_; }
    // The view of the document's window (null before it has one).
    SourceView* view() const { return view_; }

    bool isModified() const override;
    // Sources are always written under their ".d" name.
    QString fileNameFor(const QString& requested) const override;
    bool save(const QString& path) override;
    QWidget* createView(QWidget* parent) override;
    void commitPendingEdit() override;

  private:
    std::unique_ptr<SourceDoc> doc_;
    QPointer<SourceView> view_;
};

class SourceDocType : public DocumentType {
  public:
    // `options` gives the display switches a new view starts with.
    explicit SourceDocType(std::function<ViewOptions()> options) : options_(std::move(options)) {}

    QString name() const override { return QStringLiteral("DriverSource"); }
    QString description() const override { return QStringLiteral("Driver source"); }
    QStringList openFilters() const override;
    QStringList saveFilters() const override;
    QString defaultExtension() const override { return QStringLiteral("d"); }
    // Files named *.d or *.bak, or starting with the source magic.
    bool accepts(const QString& path) const override;
    std::unique_ptr<Document> open(const QString& path) override;
    std::unique_ptr<Document> create() override;

    ViewOptions viewOptions() const { return options_ ? options_() : ViewOptions{}; }
    // Wraps a record made elsewhere (the list driver generator) as an unsaved document.
    std::unique_ptr<SourceDocument> wrap(std::unique_ptr<SourceDoc> doc);

  private:
    std::function<ViewOptions()> options_;
};

}  // namespace sf::gui
