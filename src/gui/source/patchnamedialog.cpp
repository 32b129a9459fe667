#include "source/patchnamedialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "patchtools/listsupport.h"
#include "ui/help.h"
#include "ui/qtprompter.h"
#include "ui/text.h"

namespace sf::gui {

namespace {
constexpr int kHelpTopic = 2020;

QString shownText(const std::string& text) {
    QString s = fromDriverText(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}
}  // namespace

PatchNameDialog::PatchNameDialog(PatchNameEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
    setWindowTitle(QStringLiteral("ROM patch names"));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("names"));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setTabChangesFocus(true);
    text_->setPlainText(shownText(editor_.text));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* help = new QPushButton(QStringLiteral("&Help"), this);
    help->setObjectName(QStringLiteral("helpButton"));
    auto* check = new QPushButton(QStringLiteral("&Check"), this);
    check->setObjectName(QStringLiteral("checkButton"));
    auto* import = new QPushButton(QStringLiteral("Import"), this);
    import->setObjectName(QStringLiteral("importButton"));
    // Enter belongs to the text box (a new line); OK is reached by Tab or
    // Alt keys, Escape cancels.
    for (QPushButton* b : {ok, cancel, help, check, import}) b->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {ok, cancel, help, check, import}) buttons->addWidget(b);
    buttons->addStretch();
    room_ = noteLabel(this);
    auto* left = new QVBoxLayout;
    left->addWidget(text_, 1);
    left->addWidget(room_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    // The room follows the typing, a moment after it pauses.
    roomTimer_ = new QTimer(this);
    roomTimer_->setSingleShot(true);
    roomTimer_->setInterval(250);
    connect(roomTimer_, &QTimer::timeout, this, &PatchNameDialog::showRoom);
    connect(text_, &QPlainTextEdit::textChanged, roomTimer_, qOverload<>(&QTimer::start));
    resize(480, 400);

    connect(ok, &QPushButton::clicked, this, &PatchNameDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] { showHelp(kHelpTopic); });
    connect(check, &QPushButton::clicked, this, [this] {
        takeText();
        editor_.check();
    });
    connect(import, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                          QStringLiteral("*.NAM (*.NAM);;*.* (*)"));
        if (!path.isEmpty()) importFile(path);
    });
    text_->setFocus();
}

void PatchNameDialog::takeText() {
    editor_.text = toDriverText(text_->toPlainText());
}

void PatchNameDialog::importFile(const QString& path) {
    takeText();
    if (editor_.import(path.toStdString())) text_->setPlainText(shownText(editor_.text));
}

void PatchNameDialog::accept() {
    takeText();
    if (!editor_.ok().close) return;
    if (candidate_ && !confirmDriverRoom(*candidate_())) return;
    QDialog::accept();
}

void PatchNameDialog::setCandidate(std::function<std::unique_ptr<SourceRecord>()> candidate) {
    candidate_ = std::move(candidate);
    showRoom();
}

void PatchNameDialog::showRoom() {
    if (!candidate_) return;
    takeText();
    showDriverRoom(room_, *candidate_());
}

bool editRomNames(QWidget* parent, SourceRecord& r, int module, int subBank) {
    if (module < 0 || module >= rec::kModules || subBank < 0 || subBank >= rec::kSubBanks)
        return false;
    PatchNameEditor editor(r, module, subBank, prompter());
    PatchNameDialog dialog(editor, parent);
    dialog.setCandidate([&r, &editor] {
        std::unique_ptr<SourceRecord> candidate = copyRecord(r);
        editor.apply(*candidate);
        return candidate;
    });
    if (dialog.exec() != QDialog::Accepted) return false;
    return editor.apply(r);
}

}  // namespace sf::gui
