#include "driver/driverlistwindow.h"

#include <QCloseEvent>
#include <QListView>
#include <QVBoxLayout>

#include "ui/text.h"

namespace sf::gui {

namespace {

QPointer<DriverListWindow> g_window;
// Left 70, top 70, right 400, bottom 300 until the window is first moved.
QRect g_placement(QPoint(70, 70), QPoint(399, 299));
DriverListWindow::OpenHandler g_openHandler;

}  // namespace

int DriverListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.size());
}

QVariant DriverListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const DriverListEntry& e = list_.entries()[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) return fromDriverText(e.text);
    if (role == Qt::ToolTipRole) return QString::fromStdString(e.path.string());
    return {};
}

void DriverListModel::clear() {
    beginResetModel();
    list_.clear();
    endResetModel();
}

int DriverListModel::add(const std::filesystem::path& path, std::optional<SettingRef> ref) {
    // Where the line will land, so that the view hears of the row before it
    // appears.
    const int row = static_cast<int>(list_.insertionIndex(driverListLine(path)));
    beginInsertRows({}, row, row);
    list_.add(path, std::move(ref));
    endInsertRows();
    return row;
}

void DriverListModel::addAll(
    std::vector<std::pair<std::filesystem::path, std::optional<SettingRef>>> lines) {
    // A few lines go in one by one (the view keeps its place); many at
    // once in one sort.
    if (lines.size() <= 8) {
        for (const auto& [path, ref] : lines) add(path, ref);
        return;
    }
    beginResetModel();
    list_.addAll(std::move(lines));
    endResetModel();
}

void DriverListWindow::setOpenHandler(OpenHandler handler) {
    g_openHandler = std::move(handler);
}

DriverListWindow* DriverListWindow::instance() {
    return g_window.data();
}

QRect DriverListWindow::rememberedPlacement() {
    if (g_window) g_window->keepPlacement();
    return g_placement;
}

DriverListWindow* DriverListWindow::showList(QWidget* owner) {
    if (!g_window) {
        g_window = new DriverListWindow(owner);
        g_window->setGeometry(g_placement);
        g_window->show();
    } else {
        if (g_window->isMinimized()) g_window->showNormal();
        g_window->show();
        g_window->raise();
    }
    return g_window;
}

DriverListWindow::DriverListWindow(QWidget* owner)
    : QWidget(owner, Qt::Window), model_(new DriverListModel(this)), view_(new QListView(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("DriverListWindow");
    setWindowTitle("Driver List");
    view_->setModel(model_);
    view_->setUniformItemSizes(true);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setFrameShape(QFrame::StyledPanel);
    view_->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    connect(view_, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { openLine(index.row()); });
}

DriverListWindow::~DriverListWindow() {
    keepPlacement();
}

void DriverListWindow::keepPlacement() {
    if (isVisible() && !isMinimized() && !isMaximized()) g_placement = geometry();
}

void DriverListWindow::closeEvent(QCloseEvent* event) {
    keepPlacement();
    QWidget::closeEvent(event);
}

void DriverListWindow::clearList() {
    model_->clear();
}

void DriverListWindow::addLine(const std::filesystem::path& path, std::optional<SettingRef> ref) {
    model_->add(path, std::move(ref));
}

void DriverListWindow::addLines(
    std::vector<std::pair<std::filesystem::path, std::optional<SettingRef>>> lines) {
    model_->addAll(std::move(lines));
}

void DriverListWindow::setCaption(int examined) {
    setWindowTitle(QString::fromStdString(list().caption(examined)));
}

void DriverListWindow::openLine(int row) {
    if (row < 0) return;
    const DriverListEntry* entry = list().openable(static_cast<std::size_t>(row));
    if (!entry) return;
    // Copies: opening may run a nested event loop (a message box) during
    // which the list can change.
    const std::filesystem::path path = entry->path;
    const std::optional<SettingRef> ref = entry->ref;
    emit lineOpened(QString::fromStdString(path.string()));
    if (g_openHandler) g_openHandler(path, ref);
}

}  // namespace sf::gui
