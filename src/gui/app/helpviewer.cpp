#include "app/helpviewer.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/icons.h"
#include "ui/help.h"

namespace sf::gui {

QUrl helpTopicUrl(int context) {
    if (context <= 0) return QUrl(QStringLiteral("qrc:/help/index.html"));
    return QUrl(QStringLiteral("qrc:/help/%1.html").arg(context));
}

namespace {
QPointer<HelpViewer>& viewer() {
    static QPointer<HelpViewer> v;
    return v;
}
}  // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Sysforge Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QToolBar(this);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(true);
    bar->setObjectName(QStringLiteral("helpBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back =
        bar->addAction(themedIcon("back"), tr("Back"), browser_, &QTextBrowser::backward);
    QAction* fwd =
        bar->addAction(themedIcon("forward"), tr("Forward"), browser_, &QTextBrowser::forward);
    bar->addAction(themedIcon("contents"), tr("Contents"), this, [this] { showTopic(0); });
    back->setEnabled(false);
    fwd->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, fwd, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        const QString t = browser_->documentTitle();
        setWindowTitle(t.isEmpty() ? QStringLiteral("Sysforge Help")
                                   : t + QStringLiteral(" - Sysforge Help"));
    });
    layout->addWidget(bar);
    layout->addWidget(browser_);
    resize(720, 560);
}

HelpViewer* HelpViewer::instance() {
    if (!viewer()) viewer() = new HelpViewer;
    return viewer();
}

void HelpViewer::showTopic(int context) {
    QUrl url = helpTopicUrl(context);
    browser_->setSource(url);
    if (browser_->document()->isEmpty()) browser_->setSource(helpTopicUrl(0));
    show();
    raise();
    activateWindow();
}

void installHelpViewer() {
    setHelpHandler([](int context) { HelpViewer::instance()->showTopic(context); });
}

void closeHelpViewer() {
    if (viewer()) {
        viewer()->close();
        delete viewer().data();
    }
}

// --- HelpWindow ---

namespace {
bool helpOpen = false;
QRect keptPlacement(50, 50, 350, 200);
}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName(QStringLiteral("helpText"));
    edit_->setReadOnly(true);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    edit_->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(edit_);
}

HelpWindow::~HelpWindow() {
    if (helpOpen && isVisible()) {
        keptPlacement = geometry();
        helpOpen = false;
    }
}

bool HelpWindow::isOpen() {
    return helpOpen;
}

void HelpWindow::showKept() {
    if (!isVisible()) {
        setGeometry(keptPlacement);
        helpOpen = true;
        show();
        emit openChanged(true);
    } else {
        // Already open: stays where it is and leaves the focus alone.
        show();
    }
}

void HelpWindow::setText(const QString& text) {
    edit_->setPlainText(text);
}
QString HelpWindow::text() const {
    return edit_->toPlainText();
}

void HelpWindow::closeEvent(QCloseEvent* event) {
    keptPlacement = geometry();
    helpOpen = false;
    emit openChanged(false);
    QWidget::closeEvent(event);
}

}  // namespace sf::gui
