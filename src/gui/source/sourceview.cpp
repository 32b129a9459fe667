// Placeholder until the settings tree lands: an empty tree and filter field.
#include "source/sourceview.h"

#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/document.h"

namespace sf::gui {

struct SourceView::Impl {
    SourceDoc* doc;
    ViewOptions options;
    QTreeView* tree;
    QLineEdit* filter;
    QAction* undo;
    QAction* redo;
};

SourceView::SourceView(SourceDoc& doc, const ViewOptions& options, QWidget* parent)
    : QWidget(parent), d_(new Impl{&doc, options, new QTreeView(this), new QLineEdit(this),
                                   new QAction(tr("&Undo"), this), new QAction(tr("&Redo"), this)}) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d_->filter);
    layout->addWidget(d_->tree);
    d_->tree->setObjectName(QStringLiteral("RzFlexTree"));
}

SourceView::~SourceView() { delete d_; }

SourceDoc& SourceView::document() const { return *d_->doc; }
void SourceView::build(std::optional<SettingRef>, bool) {}
void SourceView::refreshAllValues() {}
std::optional<SettingRef> SourceView::currentRef() const { return std::nullopt; }
bool SourceView::selectRef(const SettingRef&) { return false; }
ViewOptions SourceView::options() const { return d_->options; }
void SourceView::setOptions(const ViewOptions& options) { d_->options = options; }
QList<QAction*> SourceView::editActions() const { return {d_->undo, d_->redo}; }
QAction* SourceView::undoAction() const { return d_->undo; }
QAction* SourceView::redoAction() const { return d_->redo; }
QTreeView* SourceView::tree() const { return d_->tree; }
QLineEdit* SourceView::filterField() const { return d_->filter; }

}  // namespace sf::gui
