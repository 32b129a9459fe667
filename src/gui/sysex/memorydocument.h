// Binary documents in the document framework: the type "Memory" (any file,
// opened whole) and the document that shows its bytes in a MemoryView.
#pragma once

#include <memory>

#include "app/documents.h"
#include "sysex/memorydoc.h"
#include "sysex/memoryview.h"

namespace sf::gui {

class MemoryDocument : public Document {
    Q_OBJECT
  public:
    MemoryDocument(DocumentType& type, std::unique_ptr<MemoryDoc> doc);
    ~MemoryDocument() override;

    const MemoryDoc& memory() const { return *doc_; }

    // The driver source (its file path) and the module (0-based) of the
    // "Request dump" that received these bytes; "Analyse with driver..."
    // starts from them. Empty path and -1 when the bytes came from elsewhere.
    void setRequestOrigin(const QString& sourcePath, int module) {
        requestSourcePath_ = sourcePath;
        requestModule_ = module;
    }
    const QString& requestSourcePath() const { return requestSourcePath_; }
    int requestModule() const { return requestModule_; }
    MemoryView* view() const { return view_; }

    bool isModified() const override { return doc_->isModified(); }
    bool save(const QString& path) override;
    QWidget* createView(QWidget* parent) override;

  private:
    std::unique_ptr<MemoryDoc> doc_;
    QPointer<MemoryView> view_;
    QString requestSourcePath_;
    int requestModule_ = -1;
};

class MemoryDocType : public DocumentType {
  public:
    QString name() const override;
    QString description() const override;
    QStringList openFilters() const override;
    QStringList saveFilters() const override { return openFilters(); }
    QString defaultExtension() const override { return {}; }
    // Any file: binary documents take what no other type wants.
    bool accepts(const QString&) const override { return true; }
    std::unique_ptr<Document> open(const QString& path) override;

    // A captured bulk: an untitled document, modified so that closing it
    // asks whether to save it.
    std::unique_ptr<MemoryDocument> fromBytes(std::vector<std::uint8_t> bytes);
};

}  // namespace sf::gui
