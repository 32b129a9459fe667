#include "instrument/analysiswindow.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "app/frame.h"
#include "app/sourcedocument.h"
#include "editor/document.h"
#include "instrument/report.h"
#include "source/sourceview.h"
#include "sysex/memorydoc.h"
#include "sysex/memorydocument.h"
#include "sysex/memoryview.h"
#include "tools/settingbytes.h"
#include "ui/help.h"
#include "ui/qtprompter.h"
#include "ui/text.h"

namespace sf::gui {

namespace {

constexpr int kHelpTopic = 2031;

// The colour of each kind of byte, and its name in the legend.
struct RoleLook {
    ByteRole role;
    const char* colour;
    const char* label;
};
constexpr RoleLook kLooks[] = {
    {ByteRole::Header, "#c9ddff", "Header"},
    {ByteRole::Data, "#e4e4e4", "Data"},
    {ByteRole::Name, "#fff09a", "Name"},
    {ByteRole::Checksum, "#bfeebf", "Checksum"},
    {ByteRole::ChecksumFailed, "#ff6060", "Checksum failed"},
    {ByteRole::Trailer, "#dccbff", "F7"},
    {ByteRole::Outside, "#ffd2a6", "Outside a matched message"},
};

QColor colourOf(ByteRole role) {
    for (const RoleLook& l : kLooks)
        if (l.role == role) return QColor(QString::fromLatin1(l.colour));
    return {};
}

QString moduleLabel(const SourceRecord& r, int m) {
    const QString name =
        fromDriverText(r.text(rec::moduleBase(m) + rec::kModName, rec::kModNameSize));
    return QStringLiteral("%1: %2").arg(m + 1).arg(name);
}

std::vector<SourceDocument*> openSources(SFFrameWindow& frame) {
    std::vector<SourceDocument*> out;
    for (Document* d : frame.documents().documents())
        if (auto* s = qobject_cast<SourceDocument*>(d); s && s->view()) out.push_back(s);
    return out;
}

QTreeView* makeList(QStandardItemModel* model, const std::vector<std::string>& headers,
                    QWidget* parent, const QString& name) {
    QStringList titles;
    for (const auto& h : headers) titles << fromUtf8(h);
    model->setHorizontalHeaderLabels(titles);
    auto* list = new QTreeView(parent);
    list->setObjectName(name);
    list->setModel(model);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAlternatingRowColors(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->header()->setStretchLastSection(true);
    return list;
}

void fill(QStandardItemModel* model, std::size_t rows,
          const std::function<std::vector<std::string>(std::size_t)>& row) {
    model->removeRows(0, model->rowCount());
    for (std::size_t k = 0; k < rows; ++k) {
        QList<QStandardItem*> items;
        for (const auto& cell : row(k)) items << new QStandardItem(fromUtf8(cell));
        model->appendRow(items);
    }
}

void activateSubWindowOf(QWidget* view) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(view ? view->parentWidget() : nullptr))
        if (sub->mdiArea()) sub->mdiArea()->setActiveSubWindow(sub);
}

// The source a "Request dump" made the document from, and its module.
void requestOrigin(const MemoryDocument& dump, const std::vector<SourceDocument*>& sources,
                   int& source, int& module) {
    if (dump.requestSourcePath().isEmpty()) return;
    for (std::size_t i = 0; i < sources.size(); ++i)
        if (sources[i]->filePath() == dump.requestSourcePath()) {
            source = static_cast<int>(i);
            module = std::max(0, dump.requestModule());
        }
}

void analyseActiveDump(SFFrameWindow& frame) {
    auto* dump = qobject_cast<MemoryDocument*>(frame.documents().activeDocument());
    if (!dump) return;
    const auto sources = openSources(frame);
    if (sources.empty()) {
        prompter().message("Open the driver source to analyse the dump with first.",
                           MessageIcon::Exclamation);
        return;
    }
    int source = 0, module = 0;
    requestOrigin(*dump, sources, source, module);
    // A second analysis of the same dump starts from the first one's choice.
    if (AnalysisWindow* w = analysisWindowOf(dump))
        for (std::size_t i = 0; i < sources.size(); ++i)
            if (sources[i]->view() == w->sourceView()) {
                source = static_cast<int>(i);
                module = w->module();
            }
    AnalyseDialog dialog(sources, source, module, &frame);
    if (dialog.exec() != QDialog::Accepted || !dialog.source()) return;
    SourceView* view = dialog.source()->view();
    if (AnalysisWindow* w = analysisWindowOf(dump)) {
        w->setDriver(view, dialog.module());
        w->show();
        w->raise();
        w->activateWindow();
        return;
    }
    auto* w = new AnalysisWindow(*dump, view, dialog.module(), &frame);
    w->show();
}

}  // namespace

// ---- AnalyseDialog -----------------------------------------------------------

AnalyseDialog::AnalyseDialog(std::vector<SourceDocument*> sources, int source, int module,
                             QWidget* parent)
    : QDialog(parent),
      sources_(std::move(sources)),
      sourceBox_(new QComboBox(this)),
      moduleBox_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Analyse with driver"));
    setObjectName(QStringLiteral("AnalyseDialog"));
    sourceBox_->setObjectName(QStringLiteral("sourceBox"));
    moduleBox_->setObjectName(QStringLiteral("moduleBox"));
    for (SourceDocument* s : sources_) sourceBox_->addItem(s->displayName());
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Driver:"), sourceBox_);
    form->addRow(QStringLiteral("&Module:"), moduleBox_);
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [] { showHelp(kHelpTopic); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    sourceBox_->setCurrentIndex(std::clamp(source, 0, static_cast<int>(sources_.size()) - 1));
    fillModules(module);
    connect(sourceBox_, &QComboBox::currentIndexChanged, this, [this] { fillModules(0); });
    moduleBox_->setFocus();
}

void AnalyseDialog::fillModules(int module) {
    moduleBox_->clear();
    SourceDocument* s = source();
    if (!s) return;
    const SourceRecord& r = s->source().working();
    const int modules = walkedModuleCount(r);
    for (int m = 0; m < modules; ++m) moduleBox_->addItem(moduleLabel(r, m));
    moduleBox_->setCurrentIndex(std::clamp(module, 0, std::max(0, modules - 1)));
}

SourceDocument* AnalyseDialog::source() const {
    const int i = sourceBox_->currentIndex();
    return i >= 0 && i < static_cast<int>(sources_.size()) ? sources_[static_cast<std::size_t>(i)]
                                                           : nullptr;
}

int AnalyseDialog::module() const {
    return std::max(0, moduleBox_->currentIndex());
}

// ---- AnalysisWindow ----------------------------------------------------------

AnalysisWindow::AnalysisWindow(MemoryDocument& dump, SourceView* source, int module,
                               QWidget* parent)
    : QWidget(parent, Qt::Window),
      dump_(&dump),
      source_(source),
      module_(module),
      summary_(new QLabel(this)),
      messageModel_(new QStandardItemModel(this)),
      patchModel_(new QStandardItemModel(this)),
      findingModel_(new QStandardItemModel(this)) {
    setObjectName(QStringLiteral("AnalysisWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    messages_ = makeList(messageModel_, messageColumns(), this, QStringLiteral("messageList"));
    patches_ = makeList(patchModel_, patchColumns(), this, QStringLiteral("patchList"));
    findings_ =
        makeList(findingModel_, {"Finding", "Setting"}, this, QStringLiteral("findingList"));

    auto* legend = new QHBoxLayout;
    legend->addWidget(new QLabel(QStringLiteral("Hex view:"), this));
    for (const RoleLook& l : kLooks) {
        auto* swatch = new QLabel(QString::fromLatin1(l.label), this);
        swatch->setStyleSheet(QStringLiteral("background:%1; color:black; padding:1px 4px;")
                                  .arg(QLatin1String(l.colour)));
        legend->addWidget(swatch);
    }
    legend->addStretch();

    auto* splitter = new QSplitter(Qt::Vertical, this);
    for (auto [title, list] :
         {std::pair{"Messages", messages_}, {"Patches", patches_}, {"Findings", findings_}}) {
        auto* box = new QWidget(splitter);
        auto* l = new QVBoxLayout(box);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(new QLabel(QString::fromLatin1(title), box));
        l->addWidget(list);
        splitter->addWidget(box);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addLayout(legend);
    layout->addWidget(splitter, 1);
    summary_->setWordWrap(true);

    connect(messages_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& i) { selectMessage(i.row()); });
    connect(patches_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& i) { selectPatch(i.row()); });
    connect(findings_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& i) { selectFinding(i.row()); });

    auto* again = new QAction(QStringLiteral("Analyse again"), this);
    again->setObjectName(QStringLiteral("actionAnalyseAgain"));
    again->setShortcut(QKeySequence(Qt::Key_F5));
    again->setShortcutContext(Qt::WindowShortcut);
    addAction(again);
    connect(again, &QAction::triggered, this, &AnalysisWindow::analyse);
    auto* help = new QAction(this);
    help->setShortcut(QKeySequence::HelpContents);
    addAction(help);
    connect(help, &QAction::triggered, this, [] { showHelp(kHelpTopic); });

    // The window goes with its dump.
    if (MemoryView* v = dump.view()) connect(v, &QObject::destroyed, this, &QWidget::close);
    resize(760, 620);
    analyse();
    messages_->setFocus();
}

AnalysisWindow::~AnalysisWindow() {
    if (dump_ && dump_->view()) {
        dump_->view()->setBackgrounds({});
        dump_->view()->selectBytes(0, 0);
    }
}

AnalysisWindow* analysisWindowOf(const MemoryDocument* dump) {
    if (!dump || !SFFrameWindow::instance()) return nullptr;
    for (auto* w : SFFrameWindow::instance()->findChildren<AnalysisWindow*>(
             QString(), Qt::FindDirectChildrenOnly))
        if (w->dump() == dump) return w;
    return nullptr;
}

void AnalysisWindow::setDriver(SourceView* source, int module) {
    source_ = source;
    module_ = module;
    analyse();
}

void AnalysisWindow::analyse() {
    if (!dump_) return;
    QString dumpName = dump_->displayName();
    if (!source_) {
        summary_->setText(QStringLiteral("The driver source of this analysis has been closed."));
        return;
    }
    const SourceRecord& r = source_->document().working();
    module_ = std::clamp(module_, 0, std::max(0, walkedModuleCount(r) - 1));
    analysis_ = analyseDump(r, module_, dump_->memory().bytes());
    QString driver;
    for (SourceDocument* s : openSources(*SFFrameWindow::instance()))
        if (s->view() == source_) driver = s->displayName();
    setWindowTitle(QStringLiteral("Analysis of %1 with %2, module %3")
                       .arg(dumpName, driver, moduleLabel(r, module_)));
    const std::size_t notAnalysed =
        static_cast<std::size_t>(std::count_if(analysis_.findings.begin(), analysis_.findings.end(),
                                               [](const auto& f) { return f.notAnalysed; }));
    summary_->setText(QStringLiteral("%1 bytes: %2 messages, %3 patches, %4 findings, %5 parts not "
                                     "analysed. F5 analyses again.")
                          .arg(analysis_.dumpSize)
                          .arg(analysis_.messages.size())
                          .arg(analysis_.patches.size())
                          .arg(analysis_.findings.size() - notAnalysed)
                          .arg(notAnalysed));
    fillLists();
    colourHexView();
}

void AnalysisWindow::fillLists() {
    const SourceRecord& r = source_->document().working();
    fill(messageModel_, analysis_.messages.size(),
         [this](std::size_t k) { return messageRow(analysis_, k); });
    fill(patchModel_, analysis_.patches.size(),
         [this, &r](std::size_t k) { return patchRow(analysis_, r, k); });
    findingModel_->removeRows(0, findingModel_->rowCount());
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    const QIcon info = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    for (const DumpFinding& f : analysis_.findings) {
        const QString text = fromUtf8((f.notAnalysed ? "Not analysed: " : "") + f.text);
        auto* finding = new QStandardItem(f.notAnalysed ? info : warning, text);
        finding->setToolTip(text);
        findingModel_->appendRow(
            {finding, new QStandardItem(f.ref.id == 0 ? QStringLiteral("(the dump)")
                                                      : fromDriverText(labelPath(f.ref)))});
    }
    // Failing checksums in red, like the hex view.
    for (std::size_t k = 0; k < analysis_.messages.size(); ++k)
        if (analysis_.messages[k].checksum == ChecksumStatus::Failed)
            messageModel_->item(static_cast<int>(k), 5)
                ->setForeground(QColor(QStringLiteral("#c00000")));
    for (auto* list : {messages_, patches_})
        for (int c = 0; c + 1 < list->model()->columnCount(); ++c) list->resizeColumnToContents(c);
    findings_->setColumnWidth(0, std::max(200, findings_->viewport()->width() * 2 / 3));
}

void AnalysisWindow::colourHexView() {
    MemoryView* v = dump_ ? dump_->view() : nullptr;
    if (!v) return;
    std::vector<MemoryView::ByteBackground> spans;
    for (const RoleSpan& s : byteRoles(analysis_))
        spans.push_back({s.range.offset, s.range.size, colourOf(s.role)});
    v->setBackgrounds(std::move(spans));
}

bool AnalysisWindow::selectBytes(std::size_t offset, std::size_t size) {
    MemoryView* v = dump_ ? dump_->view() : nullptr;
    if (!v) return false;
    activateSubWindowOf(v);
    v->selectBytes(offset, size);
    return true;
}

bool AnalysisWindow::selectMessage(int row) {
    if (row < 0 || row >= static_cast<int>(analysis_.messages.size())) return false;
    const DumpMessage& m = analysis_.messages[static_cast<std::size_t>(row)];
    return selectBytes(m.offset, m.size);
}

bool AnalysisWindow::selectPatch(int row) {
    if (row < 0 || row >= static_cast<int>(analysis_.patches.size())) return false;
    const DumpPatch& p = analysis_.patches[static_cast<std::size_t>(row)];
    return selectBytes(p.offset, p.size);
}

bool AnalysisWindow::selectFinding(int row) {
    if (row < 0 || row >= static_cast<int>(analysis_.findings.size())) return false;
    const DumpFinding& f = analysis_.findings[static_cast<std::size_t>(row)];
    const SettingRef& ref = f.ref;
    // A finding about the dump itself shows its bytes.
    if (ref.id == 0) return f.bytes.size > 0 && selectBytes(f.bytes.offset, f.bytes.size);
    if (!source_) return false;
    activateSubWindowOf(source_);
    SFFrameWindow::instance()->activateWindow();
    return source_->selectRef(ref);
}

void installAnalysis(SFFrameWindow& frame) {
    QAction* analyse = frame.commandAction(QStringLiteral("actionAnalyseDump"));
    if (!analyse) return;
    SFFrameWindow* f = &frame;
    QObject::connect(analyse, &QAction::triggered, f, [f] { analyseActiveDump(*f); });
    auto update = [f, analyse] {
        analyse->setEnabled(qobject_cast<MemoryDocument*>(f->documents().activeDocument()) !=
                            nullptr);
    };
    QObject::connect(f, &SFFrameWindow::activeDocumentChanged, f, update);
    QObject::connect(&frame.documents(), &DocumentManager::viewCreated, f,
                     [analyse](Document*, QWidget* view) {
                         if (!qobject_cast<MemoryView*>(view)) return;
                         view->setContextMenuPolicy(Qt::ActionsContextMenu);
                         view->addAction(analyse);
                     });
    update();
}

}  // namespace sf::gui
