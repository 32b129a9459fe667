// Driving modal dialogs and pop-up menus from a test: the test queues what
// the user does in the next dialog of a type, then triggers the action that
// opens it (which blocks in the dialog's own event loop). A dialog that does
// not show up within two seconds is given up; one that stays open after its
// script is rejected, so that a failing test never hangs.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace sf::testsupport {

// Counts the scripts whose dialog or menu never appeared.
inline int& missedDialogs() {
    static int n = 0;
    return n;
}

// Calls `act` once on what `find` answers, as soon as it answers something
// (asked every 10 ms; given up after two seconds).
template <typename T>
void whenFound(std::function<T*()> find, std::function<void(T*)> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, find, act] {
        T* found = find();
        if (!found && ++*tries <= 200) return;
        timer->stop();
        timer->deleteLater();
        if (found)
            act(found);
        else
            ++missedDialogs();
    });
    timer->start(10);
}

template <typename T>
void onNextDialog(std::function<void(T*)> script) {
    whenFound<T>(
        [] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            return dialog && dialog->isVisible() ? dialog : nullptr;
        },
        [script](T* dialog) {
            QPointer<T> guard(dialog);
            script(dialog);
            // A script that left its dialog open (a failed check): close it.
            if (guard && guard->isVisible() && QApplication::activeModalWidget() == guard.data())
                QTimer::singleShot(200, guard.data(), [guard] {
                    if (guard && guard->isVisible()) guard->reject();
                });
        });
}

// Chooses the entry `text` of the next pop-up menu, after `look` has seen it.
inline void onNextMenu(const QString& text, std::function<void(QMenu*)> look = {}) {
    whenFound<QMenu>([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                     [text, look](QMenu* menu) {
                         if (look) look(menu);
                         for (QAction* a : menu->actions())
                             if (a->text() == text) {
                                 menu->setActiveAction(a);
                                 QTest::keyClick(menu, Qt::Key_Return);
                                 return;
                             }
                         menu->close();
                     });
}

// Replaces the text of an edit box with `keys`, typed.
inline void retype(QLineEdit* e, const QString& keys) {
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, keys);
}

// The button of `parent` with object name `name`, clicked.
inline void click(QWidget* parent, const char* name) {
    auto* b = parent->findChild<QAbstractButton*>(QString::fromLatin1(name));
    if (b) QTest::mouseClick(b, Qt::LeftButton);
}

}  // namespace sf::testsupport

#include <QTreeView>

namespace sf::testsupport {

// A double click as the mouse gives it: press, release, press with the
// double-click event, release (QTest::mouseDClick alone sends only the
// double-click event).
inline void doubleClick(QWidget* w, const QPoint& at, Qt::KeyboardModifiers mods = {}) {
    QTest::mousePress(w, Qt::LeftButton, mods, at);
    QTest::mouseRelease(w, Qt::LeftButton, mods, at);
    QTest::mousePress(w, Qt::LeftButton, mods, at);
    QTest::mouseDClick(w, Qt::LeftButton, mods, at);
    QTest::mouseRelease(w, Qt::LeftButton, mods, at);
}

// A double click on a cell.
inline void doubleClick(QTreeView* view, const QModelIndex& index) {
    view->scrollTo(index);
    doubleClick(view->viewport(), view->visualRect(index).center());
}

}  // namespace sf::testsupport
