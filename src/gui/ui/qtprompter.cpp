#include "ui/qtprompter.h"

#include <QApplication>
#include <QMessageBox>

namespace sf::gui {

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QWidget* ownerOf(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

Prompter* installed = nullptr;

}  // namespace

void QtPrompter::message(std::string_view text, MessageIcon icon) {
    QMessageBox box(boxIcon(icon), QStringLiteral("Sysforge"),
                    QString::fromUtf8(text.data(), qsizetype(text.size())), QMessageBox::Ok,
                    ownerOf(parent_));
    box.exec();
}

Answer QtPrompter::ask(std::string_view text, Buttons buttons) {
    return ask(text, buttons, MessageIcon::Question);
}

Answer QtPrompter::ask(std::string_view text, Buttons buttons, MessageIcon icon) {
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    switch (buttons) {
        case Buttons::Ok:
            set = QMessageBox::Ok;
            break;
        case Buttons::YesNo:
            set = QMessageBox::Yes | QMessageBox::No;
            break;
        case Buttons::YesNoCancel:
            set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
        case Buttons::OkCancel:
            set = QMessageBox::Ok | QMessageBox::Cancel;
            break;
    }
    QMessageBox box(boxIcon(icon), QStringLiteral("Sysforge"),
                    QString::fromUtf8(text.data(), qsizetype(text.size())), set, ownerOf(parent_));
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        default:
            return Answer::Ok;
    }
}

Prompter& prompter() {
    static QtPrompter fallback;
    return installed ? *installed : fallback;
}

Prompter* setPrompter(Prompter* p) {
    Prompter* previous = installed;
    installed = p;
    return previous;
}

}  // namespace sf::gui
