#include "driver/drivertools.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/frame.h"
#include "app/sourcedocument.h"
#include "editor/docframe.h"
#include "editor/document.h"
#include "framework/exception.h"
#include "framework/fileio.h"
#include "source/sourcefile.h"
#include "source/sourceview.h"
#include "tools/settingbytes.h"
#include "tools/textform.h"
#include "ui/qtprompter.h"
#include "ui/text.h"

namespace sf::gui {

namespace {

QPointer<QDockWidget> theFindingsDock;
QPointer<QDockWidget> theCompareDock;

std::filesystem::path toPath(const QString& s) {
    return std::filesystem::path(s.toStdString());
}

QDockWidget* makeDock(SFFrameWindow& frame, const QString& name, const QString& title,
                      const QStringList& headers) {
    auto* dock = new QDockWidget(title, &frame);
    dock->setObjectName(name);
    dock->setWidget(new RowListWindow(headers, dock));
    frame.addDockWidget(Qt::RightDockWidgetArea, dock);
    return dock;
}

RowListWindow* listOf(QDockWidget* dock) {
    return qobject_cast<RowListWindow*>(dock->widget());
}

QString documentName(SourceView* view) {
    for (Document* d : SFFrameWindow::instance()->documents().documents())
        if (auto* s = qobject_cast<SourceDocument*>(d); s && s->view() == view)
            return s->displayName();
    return {};
}

void checkActiveDriver(SFFrameWindow& frame) {
    SourceView* view = frame.activeSourceView();
    if (!view) return;
    if (!theFindingsDock)
        theFindingsDock = makeDock(
            frame, QStringLiteral("findingsDock"), QStringLiteral("Check driver"),
            {QStringLiteral("Severity"), QStringLiteral("Row"), QStringLiteral("Finding")});
    const auto findings = checkDriver(view->document().working());
    RowListWindow* list = listOf(theFindingsDock);
    list->setSource(view);
    list->showFindings(findings);
    theFindingsDock->setWindowTitle(
        QStringLiteral("Check driver: %1 (%2)")
            .arg(documentName(view))
            .arg(findings.empty() ? QStringLiteral("no finding")
                                  : QString::number(findings.size()) +
                                        (findings.size() == 1 ? QStringLiteral(" finding")
                                                              : QStringLiteral(" findings"))));
    theFindingsDock->show();
    theFindingsDock->raise();
}

// The other source: an open one, or a file.
std::unique_ptr<SourceRecord> chooseOther(SFFrameWindow& frame, SourceView* view, QString& name) {
    const QString otherFile = QStringLiteral("Other file...");
    QStringList items;
    std::vector<SourceDocument*> docs;
    for (Document* d : frame.documents().documents())
        if (auto* s = qobject_cast<SourceDocument*>(d); s && s->view() != view) {
            docs.push_back(s);
            items << s->displayName();
        }
    items << otherFile;
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(&frame, QStringLiteral("Compare with"),
                              QStringLiteral("Compare the driver with:"), items, 0, false, &ok);
    if (!ok) return nullptr;
    const auto at = items.indexOf(chosen);
    if (at >= 0 && at < static_cast<int>(docs.size())) {
        name = chosen;
        return copyRecord(docs[static_cast<std::size_t>(at)]->source().working());
    }
    int filter = 0;
    const QString path = frame.documents().fileDialog()(&frame, DocumentManager::DialogMode::Open,
                                                        QStringLiteral("Compare with"), QString(),
                                                        frame.sourceType().openFilters(), &filter);
    if (path.isEmpty()) return nullptr;
    auto read = readSourceFile(toPath(path), &prompter());
    if (!read) return nullptr;
    name = QFileInfo(path).fileName();
    return read.take();
}

void compareActiveDriver(SFFrameWindow& frame) {
    SourceView* view = frame.activeSourceView();
    if (!view) return;
    QString name;
    const auto other = chooseOther(frame, view, name);
    if (!other) return;
    if (!theCompareDock)
        theCompareDock = makeDock(
            frame, QStringLiteral("compareDock"), QStringLiteral("Compare"),
            {QStringLiteral("Row"), QStringLiteral("This driver"), QStringLiteral("Other")});
    const auto rows = diffSources(view->document().working(), *other);
    RowListWindow* list = listOf(theCompareDock);
    list->setSource(view);
    list->showDifferences(rows);
    theCompareDock->setWindowTitle(
        QStringLiteral("Compare %1 with %2 (%3)")
            .arg(documentName(view), name)
            .arg(rows.empty() ? QStringLiteral("no difference")
                              : QString::number(rows.size()) +
                                    (rows.size() == 1 ? QStringLiteral(" difference")
                                                      : QStringLiteral(" differences"))));
    theCompareDock->show();
    theCompareDock->raise();
}

const QStringList kTextFilters = {QStringLiteral("Driver source text (*.txt)"),
                                  QStringLiteral("All files (*)")};

void exportActiveDriver(SFFrameWindow& frame) {
    SourceDocument* doc = frame.activeSourceDocument();
    if (!doc) return;
    std::string why;
    const auto text = exportSourceText(doc->source().working(), &why);
    if (!text) {
        prompter().message(why, MessageIcon::Stop);
        return;
    }
    QString suggested = doc->hasFile() ? doc->filePath() : doc->displayName();
    suggested = QFileInfo(suggested).path() + QLatin1Char('/') +
                QFileInfo(suggested).completeBaseName() + QStringLiteral(".txt");
    int filter = 0;
    QString path;
    for (;;) {
        path = frame.documents().fileDialog()(&frame, DocumentManager::DialogMode::Save,
                                              QStringLiteral("Export as text"), suggested,
                                              kTextFilters, &filter);
        if (path.isEmpty()) return;
        // The text must not take the place of a source that a window has open
        // (picking the source's own name would destroy the driver).
        for (Document* open : frame.documents().documents())
            if (open->hasFile() && sameFile(toPath(open->filePath()), toPath(path))) {
                prompter().message(
                    "This file is already open in another window.\n" + path.toStdString(),
                    MessageIcon::Stop);
                return;
            }
        // Any other file is replaced only on Yes; No: the dialog again.
        if (mayReplaceFile(toPath(path), {}, prompter())) break;
        suggested = path;
    }
    try {
        writeFileAtomic(
            toPath(path),
            ConstByteSpan(reinterpret_cast<const std::uint8_t*>(text->data()), text->size()));
    } catch (const AException& e) {
        prompter().message(e.text(), MessageIcon::Stop);
    }
}

void importDriverText(SFFrameWindow& frame) {
    int filter = 0;
    const QString path = frame.documents().fileDialog()(&frame, DocumentManager::DialogMode::Open,
                                                        QStringLiteral("Import text"), QString(),
                                                        kTextFilters, &filter);
    if (path.isEmpty()) return;
    std::unique_ptr<SourceRecord> record;
    try {
        const auto bytes = readWholeFile(toPath(path));
        record = importSourceText(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const AException& e) {
        prompter().message(e.text(), MessageIcon::Stop);
        return;
    } catch (const SourceTextError& e) {
        // Nothing is opened for a text that cannot be read.
        prompter().message(QFileInfo(path).fileName().toStdString() + ", " + e.what(),
                           MessageIcon::Stop);
        return;
    }
    auto doc = frame.sourceType().wrap(std::make_unique<SourceDoc>(std::move(record)));
    doc->setProvisionalName(QFileInfo(path).completeBaseName());
    frame.documents().addDocument(std::move(doc));
}

// The source window's "&Edit" menu carries "Check driver" too; the frame
// fills that menu anew for each source window.
void addToEditMenu(SFFrameWindow& frame, QAction* check) {
    auto* edit = frame.findChild<QMenu*>(QStringLiteral("menuEdit"));
    if (!edit || edit->actions().contains(check)) return;
    edit->addSeparator();
    edit->addAction(check);
}

}  // namespace

RowListWindow::RowListWindow(const QStringList& headers, QWidget* parent)
    : QWidget(parent), list_(new QTreeView(this)), model_(new QStandardItemModel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    model_->setHorizontalHeaderLabels(headers);
    list_->setObjectName(QStringLiteral("rowList"));
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setStretchLastSection(true);
    connect(list_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { activateRow(index.row()); });
}

void RowListWindow::setSource(SourceView* view) {
    view_ = view;
}

int RowListWindow::rowCount() const {
    return model_->rowCount();
}

void RowListWindow::showFindings(const std::vector<Finding>& findings) {
    model_->removeRows(0, model_->rowCount());
    refs_.clear();
    const QIcon error = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (const Finding& f : findings) {
        auto* severity = new QStandardItem(f.severity == Severity::Error ? error : warning,
                                           QString::fromLatin1(severityName(f.severity)));
        model_->appendRow({severity, new QStandardItem(fromDriverText(labelPath(f.ref))),
                           new QStandardItem(QString::fromStdString(f.text))});
        refs_.push_back(f.ref);
    }
    list_->resizeColumnToContents(0);
    list_->resizeColumnToContents(1);
}

void RowListWindow::showDifferences(const std::vector<DiffRow>& rows) {
    model_->removeRows(0, model_->rowCount());
    refs_.clear();
    for (const DiffRow& d : rows) {
        model_->appendRow({new QStandardItem(fromDriverText(d.path)),
                           new QStandardItem(fromDriverText(d.valueA)),
                           new QStandardItem(fromDriverText(d.valueB))});
        refs_.push_back(d.ref);
    }
    list_->resizeColumnToContents(0);
}

bool RowListWindow::activateRow(int row) {
    if (row < 0 || row >= static_cast<int>(refs_.size()) || !view_ ||
        refs_[static_cast<std::size_t>(row)].id == 0)
        return false;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(view_->parentWidget()))
        if (sub->mdiArea()) sub->mdiArea()->setActiveSubWindow(sub);
    return view_->selectRef(refs_[static_cast<std::size_t>(row)]);
}

QDockWidget* findingsDock() {
    return theFindingsDock;
}
QDockWidget* compareDock() {
    return theCompareDock;
}

void installDriverTools(SFFrameWindow& frame) {
    QAction* check = frame.commandAction(QStringLiteral("actionCheckDriver"));
    QAction* compare = frame.commandAction(QStringLiteral("actionCompareWith"));
    QAction* exportText = frame.commandAction(QStringLiteral("actionExportText"));
    QAction* importText = frame.commandAction(QStringLiteral("actionImportText"));
    if (!check || !compare || !exportText || !importText) return;
    // A shortcut is ambiguous once the action sits in two menus; the window
    // takes it for both.
    check->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(check, &QAction::triggered, &frame, [&frame] { checkActiveDriver(frame); });
    QObject::connect(compare, &QAction::triggered, &frame,
                     [&frame] { compareActiveDriver(frame); });
    QObject::connect(exportText, &QAction::triggered, &frame,
                     [&frame] { exportActiveDriver(frame); });
    QObject::connect(importText, &QAction::triggered, &frame,
                     [&frame] { importDriverText(frame); });
    auto update = [&frame, check, compare, exportText] {
        const bool source = frame.activeSourceView() != nullptr;
        for (QAction* a : {check, compare, exportText}) a->setEnabled(source);
        if (source) addToEditMenu(frame, check);
    };
    QObject::connect(&frame, &SFFrameWindow::activeDocumentChanged, &frame, update);
    importText->setEnabled(true);
    update();
}

}  // namespace sf::gui
