// Random input against the real windows. From a seed, a stream of plausible
// user actions goes to whatever is active: the main window and its source
// windows (clicks on cells, typed values of every kind, keys, shortcuts, menu
// commands, drags between rows and windows, undo and redo runs, the filter,
// files dropped, opened and closed, MIDI input), other windows, pop-up menus
// and modal dialogs (their buttons, fields and lists). Questions are answered
// at random, file dialogs with paths inside a scratch folder; the host of
// "Save and run" is a stub, MIDI is the fake system, and a closed main window
// is replaced by a new one.
//
// Checked after every action taken outside a dialog: each document's record
// still makes a file (or is refused for a known reason), a document marked
// unmodified equals its file, and every so often (and at the end) undoing
// every step gives back the record the document started with, redoing them
// the record it had.
//
//   gui_monkey_test                       the fixed seeds, within the CI budget
//   gui_monkey_test --seed=N [--actions=N] [--seconds=S] [--seeds=K]
//
// A failure prints the seed, the last 50 actions and the command that replays it.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/sourcedocument.h"
#include "app/sysforgeapp.h"
#include "editor/document.h"
#include "source/romnames.h"
#include "source/sourcefile.h"
#include "source/sourceview.h"
#include "source/valuetext.h"
#include "support/leak_suppressions.h"
#include "sysex/midi.h"
#include "sysex/midisystem.h"
#include "ui/qtprompter.h"

#ifdef SF_LEAK_CHECKED
extern "C" void __sanitizer_set_death_callback(void (*callback)(void));
#endif

using namespace sf;
using namespace sf::gui;

namespace {

// The trail of actions, printed when anything goes wrong (also from a crash).
struct Trail {
    std::uint64_t seed = 0;
    long actions = 0;
    std::deque<std::string> last;
    bool active = false, verbose = false;
    std::string programPath;

    // An action of the user, and what the program answered (a message...).
    void add(const std::string& what) { push(std::to_string(++actions) + ": " + what); }
    void note(const std::string& what) { push("     " + what); }
    void push(std::string line) {
        if (verbose) std::fprintf(stderr, "%s\n", line.c_str());
        last.push_back(std::move(line));
        if (last.size() > 50) last.pop_front();
    }
    void print(const char* why) const {
        const auto s = static_cast<unsigned long long>(seed);
        std::fprintf(stderr,
                     "\n=== random input failed: seed %llu, after %ld actions\n%s\n"
                     "--- last %zu actions\n",
                     s, actions, why, last.size());
        for (const auto& a : last) std::fprintf(stderr, "  %s\n", a.c_str());
        std::fprintf(stderr, "--- replay: QT_QPA_PLATFORM=offscreen %s --seed=%llu --actions=%ld\n",
                     programPath.c_str(), s, actions);
        std::fflush(stderr);
    }
} g_trail;

void dumpTrailOnCrash() {
    if (!g_trail.active) return;
    g_trail.active = false;
    g_trail.print("the program crashed (see the report above or below)");
}

extern "C" void onFatalSignal(int sig) {
    dumpTrailOnCrash();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

std::string describe(const QWidget* w) {
    if (!w) return "(none)";
    QString s = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty()) s += "#" + w->objectName();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w)) s += " \"" + b->text() + "\"";
    return s.toStdString();
}

// Whether a pop-up menu or a dialog other than `modal` has taken over the input.
bool busy(const QWidget* modal = nullptr) {
    return QApplication::activePopupWidget() || QApplication::activeModalWidget() != modal;
}

// The focus when it lies within `w`, else `fallback`.
QWidget* focusIn(QWidget* w, QWidget* fallback) {
    QWidget* f = QApplication::focusWidget();
    return f && (f == w || w->isAncestorOf(f)) ? f : fallback;
}

// Types `text` as a keyboard would: QTest's own typing only knows ASCII. A
// key may close the widget's window (and delete it) on the way.
void typeText(QWidget* widget, const QString& text) {
    QPointer<QWidget> w(widget);
    const QWidget* modal = QApplication::activeModalWidget();
    for (const QChar c : text) {
        if (!w) return;
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            QTest::keyClick(w, c.toLatin1());
        else if (c == QChar('\t'))
            QTest::keyClick(w, Qt::Key_Tab);
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        if (busy(modal)) return;
    }
}

void sendDrag(QWidget* target, QPoint at, const QMimeData* data, bool drop) {
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QDragLeaveEvent leave;
    QApplication::sendEvent(target, drop ? static_cast<QEvent*>(&dropped) : &leave);
}

bool anyBlockTooLarge(const SourceRecord& r) {
    bool large = false;
    forEachWalkedSlot(r, [&](int m, int s) {
        const auto& b = r.block(m, s);
        if (b && b->size() > 65535) large = true;
    });
    return large;
}

std::string firstDifference(const SourceRecord& a, const SourceRecord& b) {
    for (std::size_t i = 0; i < a.bytes.size(); ++i)
        if (a.bytes[i] != b.bytes[i])
            return "first differing byte at record offset " + std::to_string(i) + " (" +
                   std::to_string(a.bytes[i]) + " / " + std::to_string(b.bytes[i]) + ")";
    return "the blocks differ";
}

// Also the prompter: questions are answered at random.
class Monkey : public Prompter {
  public:
    Monkey(std::uint64_t seed, long maxActions, qint64 deadlineMs)
        : rng_(seed), maxActions_(maxActions), deadlineMs_(deadlineMs) {
        g_trail.seed = seed;
        g_trail.actions = 0;
        g_trail.last.clear();
        g_trail.active = true;
        previousPrompter_ = setPrompter(this);
        midi_.inputPorts = {{"Keys", "ALSA"}, {"synth:out", "JACK"}};
        midi_.outputPorts = {{"Synth", "ALSA"}};
        previousMidi_ = setMidiSystem(&midi_);
        QDir(dir_.path()).mkpath("seq/VANTOR.DAT");
        writeFile(host_, "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(host_, QFile::permissions(host_) | QFile::ExeOwner);
        makeSources();
        startApp();
        clock_.start();
    }
    ~Monkey() override {
        app_.reset();
        setMidiSystem(previousMidi_);
        setPrompter(previousPrompter_);
        g_trail.active = false;
    }

    // Runs until the actions or the time are used up, or an invariant fails;
    // answers the failure.
    std::string run() {
        QEventLoop loop;
        loop_ = &loop;
        QTimer::singleShot(0, &guard_, [this] { step(); });
        loop.exec();
        loop_ = nullptr;
        return failure_;
    }

    void message(std::string_view text, MessageIcon) override {
        g_trail.note("message: " + std::string(text.substr(0, 120)));
    }
    Answer ask(std::string_view text, Buttons buttons) override {
        const int r = below(3);
        const Answer a = buttons == Buttons::YesNo ? (r == 0 ? Answer::No : Answer::Yes)
                         : buttons == Buttons::YesNoCancel
                             ? std::array{Answer::Yes, Answer::No, Answer::Cancel}[r]
                             : Answer::Ok;
        static const char* names[] = {"Ok", "Yes", "No", "Cancel"};
        g_trail.note("asked: " + std::string(text.substr(0, 100)) + " -> " +
                     names[static_cast<int>(a)]);
        return a;
    }

  private:
    static std::string answer(const QString& p) {
        return p.isEmpty() ? "(cancel)" : p.toStdString();
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }
    void writeSource(const QString& name, const SourceRecord& r) {
        saveSourceFile(dir_.filePath(name).toStdString(), r, nullptr, nullptr);
    }

    void makeSources() {
        auto plain = newSource();
        parseValue(*plain, makeRef(4), "Plain");
        writeSource("plain.d", *plain);
        auto rich = newSource();
        parseValue(*rich, makeRef(4), "Rich synth");
        parseValue(*rich, makeRef(103), "3");
        parseValue(*rich, makeRef(107, 1), "Drums");
        parseValue(*rich, makeRef(15), "$F0, $43, Chk, $F7");
        parseValue(*rich, makeRef(256, 0), "2");
        parseValue(*rich, makeRef(257, 0), "4");
        parseValue(*rich, makeRef(262, 0, 1), "ROM");
        applyChoice(*rich, makeRef(114, 0), 61);
        const auto names =
            parseRomNames("Piano\r\nStrings\r\nBrass\r\nOrgan\r\n", romNamesShape(*rich, 0), false);
        if (names.block) storeRomNames(*rich, 0, 1, *names.block);
        writeSource("rich.d", *rich);
        writeFile(dir_.filePath("junk.d"), "DEV_SRCE but nothing else");
    }

    void startApp() {
        app_ = std::make_unique<SysforgeApp>(SysforgeApp::Options{dir_.filePath("config"), {}});
        frame().documents().setFileDialog([this](QWidget*, DocumentManager::DialogMode mode,
                                                 const QString&, const QString&, const QStringList&,
                                                 int*) {
            const QString p = pickPath(mode == DocumentManager::DialogMode::Open);
            g_trail.note("file dialog -> " + answer(p));
            return p;
        });
        frame().show();
        frame().resize(1000, 700);
        ensureDocument();
    }
    SFFrameWindow& frame() { return *app_->frame(); }

    void ensureDocument() {
        if (!frame().sourceViews().empty()) return;
        const QString p = dir_.filePath(pick({"plain.d", "rich.d"}));
        if (!QFile::exists(p)) writeSource(QFileInfo(p).fileName(), *newSource());
        g_trail.add("reopen " + p.toStdString());
        frame().openFiles({p});
        if (frame().sourceViews().empty()) frame().documents().newDocument();
    }

    int below(int n) {
        return n <= 0 ? 0 : static_cast<int>(rng_() % static_cast<std::uint64_t>(n));
    }
    bool chance(int percent) { return below(100) < percent; }
    template <typename C>
    auto any(const C& c) {
        return c[below(int(c.size()))];
    }
    template <typename T>
    T pick(std::initializer_list<T> list) {
        return *(list.begin() + below(int(list.size())));
    }

    QString pickPath(bool open) {
        if (chance(12)) return {};
        QStringList files;
        QDirIterator it(dir_.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            if (const QString f = it.next(); !f.contains("/config/")) files << f;
        files.sort();
        if (open && !files.isEmpty() && chance(85)) return any(files);
        return dir_.filePath(QString("file%1").arg(below(6)) +
                             pick({"", ".d", ".D", ".txt", ".dev", ".bak", ".x.d"}));
    }

    // Numbers, words of the menus, message texts, non-Windows-1252 texts.
    QString randomText() {
        static const QStringList fixed =
            QString::fromUtf8(
                "-|$|0x|+5| 12 |1e5|--3|007|\t9||  |Yes|No|None|(in use)|Chk|Joker|Head|"
                "$F0,$43,Chk,$F7|F0 43 10|'A','b'|$F0;;Joker,,$F7|Head, $10, Chk|Piano|"
                "Str\xc3\xa9ngs|\xe2\x82\xac uro|\xc3\xbf\xc3\xbe|\xc2\x81\xc2\x9d|Tab\there|"
                "\"quoted\"|back\\slash|\xe6\x97\xa5\xe6\x9c\xac|0|1|127|128|255|256|32767|"
                "32768|65535|65536|-1|-32768|2147483648|4294967295")
                .split('|');
        const int kind = below(10);
        if (kind == 0) return QString::number(below(300) - 20);
        if (kind == 1) return "$" + QString::number(below(70000), 16).toUpper();
        if (kind == 2)
            return pick({"0x", "&H", "&h", "$"}) + QString::number(rng_() % 0x1FFFFFFFFull, 16);
        if (kind == 3)
            return QString::number(static_cast<long long>(rng_() % 10000000000ull) - 5000000000ll);
        if (kind == 4) return QString(below(400) + 20, QChar('A' + below(26)));
        if (kind == 6) return QString::number(below(17));
        if (kind != 5) return any(fixed);
        QString s;
        for (int i = below(12) + 1; i > 0; --i) s += QChar(0x20 + below(0xE0));
        return s;
    }

    // A key, now and then with Ctrl or Shift (keys without a character carry no text).
    void randomKey(QWidget* target) {
        const auto key = pick(
            {Qt::Key_Return, Qt::Key_Enter,    Qt::Key_Escape, Qt::Key_Tab,    Qt::Key_Backtab,
             Qt::Key_F2,     Qt::Key_Delete,   Qt::Key_Up,     Qt::Key_Down,   Qt::Key_Left,
             Qt::Key_Right,  Qt::Key_Home,     Qt::Key_End,    Qt::Key_PageUp, Qt::Key_PageDown,
             Qt::Key_Space,  Qt::Key_Asterisk, Qt::Key_Plus,   Qt::Key_Minus,  Qt::Key_Backspace,
             Qt::Key_F1,     Qt::Key_A,        Qt::Key_Menu});
        const Qt::KeyboardModifiers mods = chance(15)   ? Qt::ControlModifier
                                           : chance(10) ? Qt::ShiftModifier
                                                        : Qt::NoModifier;
        g_trail.add("key " + QKeySequence(QKeyCombination(mods, key)).toString().toStdString() +
                    " to " + describe(target));
        if (key == Qt::Key_Menu)
            QTest::sendKeyEvent(QTest::Click, target, key, QString(), mods);
        else
            QTest::keyClick(target, key, mods);
    }

    void step() {
        if (!loop_) return;
        if (paused_) return QTimer::singleShot(5, &guard_, [this] { step(); });
        // The next step is queued first: an action may open a dialog whose
        // own event loop runs the following steps.
        QTimer::singleShot(0, &guard_, [this] { step(); });
        QWidget* popup = QApplication::activePopupWidget();
        QWidget* modal = QApplication::activeModalWidget();
        if (stopping_ || !failure_.empty()) return windDown(popup ? popup : modal);
        if (g_trail.actions >= maxActions_ || clock_.elapsed() >= deadlineMs_)
            stopping_ = true;
        else if (popup)
            onPopup(popup);
        else if (modal)
            onModal(modal);
        else {
            onMain();
            if (!busy()) afterAction();
        }
    }

    // Closes whatever is open, then makes the final checks and ends.
    void windDown(QWidget* open) {
        if (open) return dismiss(open);
        if (failure_.empty() && app_ && frame().isVisible())
            for (SourceDocument* d : sourceDocuments())
                if (failure_.empty()) undoAllAndBack(d);
        if (loop_) loop_->quit();
        loop_ = nullptr;
    }

    void fail(const std::string& why) {
        if (failure_.empty()) failure_ = why;
    }

    static void dismiss(QWidget* w) {
        if (auto* d = qobject_cast<QDialog*>(w)) return d->reject();
        w->close();
    }

    void onPopup(QWidget* popup) {
        ++popups_;
        auto* menu = qobject_cast<QMenu*>(popup);
        QList<QAction*> usable;
        for (QAction* a : menu ? menu->actions() : QList<QAction*>())
            if (a->isEnabled() && a->isVisible() && !a->isSeparator()) usable << a;
        if (usable.isEmpty() || chance(10)) {
            g_trail.add("popup " + describe(popup) + ": Escape");
            QTest::keyClick(popup, Qt::Key_Escape);
            if (QApplication::activePopupWidget() == popup) popup->close();
            return;
        }
        QAction* a = any(usable);
        g_trail.add("menu choice \"" + a->text().toStdString() + "\"");
        menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    }

    void onModal(QWidget* modal) {
        if (modal != currentModal_) modalSteps_ = 0;
        currentModal_ = modal;
        // A dialog is never left hanging: after a while it is cancelled.
        if (++modalSteps_ > 40) {
            g_trail.add("dialog " + describe(modal) + ": closed after 40 actions");
            return dismiss(modal);
        }
        auto* fd = qobject_cast<QFileDialog*>(modal);
        if (!fd) return actOnWindow(modal, true);
        const QString p = pickPath(fd->acceptMode() == QFileDialog::AcceptOpen);
        g_trail.add("file dialog -> " + answer(p));
        if (p.isEmpty()) return fd->reject();
        fd->selectFile(p);
        static_cast<QDialog*>(fd)->accept();
    }

    // Input for the widgets of a dialog or a tool window.
    void actOnWindow(QWidget* w, bool isModal) {
        std::vector<QWidget*> buttons, fields, views, combos;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!c->isVisible() || !c->isEnabled()) continue;
            if (qobject_cast<QAbstractButton*>(c))
                buttons.push_back(c);
            else if (qobject_cast<QLineEdit*>(c) || qobject_cast<QPlainTextEdit*>(c) ||
                     qobject_cast<QTextEdit*>(c) || qobject_cast<QAbstractSpinBox*>(c))
                fields.push_back(c);
            else if (qobject_cast<QAbstractItemView*>(c) && !qobject_cast<QHeaderView*>(c))
                views.push_back(c);
            else if (qobject_cast<QComboBox*>(c))
                combos.push_back(c);
        }
        const int r = below(100);
        if (r < 30 && !buttons.empty()) {
            QWidget* b = any(buttons);
            g_trail.add("click " + describe(b) + " in " + describe(w));
            QTest::mouseClick(b, Qt::LeftButton);
        } else if (r < 55 && !fields.empty()) {
            QPointer<QWidget> f = any(fields);
            const QString text = randomText();
            g_trail.add("type \"" + text.left(60).toStdString() + "\" into " + describe(f) +
                        " in " + describe(w));
            QTest::mouseClick(f, Qt::LeftButton);
            if (!f || (isModal && QApplication::activeModalWidget() != w)) return;
            if (chance(60)) QTest::keyClick(f, Qt::Key_A, Qt::ControlModifier);
            if (f) typeText(f, text);
        } else if (r < 70 && !views.empty()) {
            clickCell(static_cast<QAbstractItemView*>(any(views)));
        } else if (r < 75 && !combos.empty()) {
            QWidget* c = any(combos);
            g_trail.add("choose in " + describe(c));
            QTest::keyClick(c, pick({Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_Home}));
        } else if (r < 90) {
            randomKey(focusIn(w, w));
        } else if (isModal && r < 95) {
            g_trail.add("accept " + describe(w));
            if (auto* d = qobject_cast<QDialog*>(w)) d->accept();
        } else {
            g_trail.add("cancel " + describe(w));
            dismiss(w);
        }
    }

    // A row of a view: in a tree, any row its expanded parents show.
    QModelIndex randomRow(QAbstractItemView* v) {
        if (!v->model()) return {};
        if (auto* tree = qobject_cast<QTreeView*>(v)) {
            std::vector<QModelIndex> rows;
            for (QModelIndex i = v->model()->index(0, 0); i.isValid() && rows.size() < 2000;
                 i = tree->indexBelow(i))
                rows.push_back(i);
            return rows.empty() ? QModelIndex() : any(rows);
        }
        const int n = v->model()->rowCount();
        return n > 0 ? v->model()->index(below(n), 0) : QModelIndex();
    }

    // A click, double click, Ctrl+click or right click on a cell of a view.
    void clickCell(QAbstractItemView* v) {
        QPointer<QWidget> vp = v->viewport();
        if (vp->width() <= 2 || vp->height() <= 2) return;
        QModelIndex index = randomRow(v);
        if (!index.isValid()) return;
        const int columns = v->model()->columnCount(index.parent());
        if (columns > 1 && chance(60)) index = index.siblingAtColumn(below(columns));
        v->scrollTo(index);
        const QPoint at = v->visualRect(index).center();
        const int how = below(10);
        const bool twice = how >= 5 && how < 8, right = how == 9;
        g_trail.add(std::string(how < 5 ? "click"
                                : twice ? "double click"
                                : right ? "right click"
                                        : "ctrl+click") +
                    " cell " + index.data().toString().left(40).toStdString() + " (col " +
                    std::to_string(index.column()) + ") in " + describe(v));
        const int menusBefore = popups_;
        const QWidget* modal = QApplication::activeModalWidget();
        QTest::mouseClick(vp, right ? Qt::RightButton : Qt::LeftButton,
                          how == 8 ? Qt::ControlModifier : Qt::NoModifier, at);
        if (twice && vp && !busy(modal)) QTest::mouseDClick(vp, Qt::LeftButton, {}, at);
        // The platform turns a right press into a context menu event; where
        // it did not (no menu came up), the event is sent as it would be.
        if (right && vp && popups_ == menusBefore && !busy(modal)) {
            QContextMenuEvent e(QContextMenuEvent::Mouse, at, vp->mapToGlobal(at));
            QApplication::sendEvent(vp, &e);
        }
    }

    std::vector<SourceDocument*> sourceDocuments() {
        std::vector<SourceDocument*> out;
        for (Document* d : frame().documents().documents())
            if (auto* s = qobject_cast<SourceDocument*>(d)) out.push_back(s);
        return out;
    }

    void onMain() {
        QWidget* active = QApplication::activeWindow();
        if (active && active != &frame() && active->isVisible() && chance(50)) {
            if (!chance(15)) return actOnWindow(active, false);
            g_trail.add("close window " + describe(active));
            active->close();
            return;
        }
        if (active != &frame()) {
            // The hand goes back to the main window (active from the next step).
            g_trail.add("activate the main window");
            return frame().activateWindow();
        }
        // Each action up to its limit of 1000; one that needs a source
        // window gives way to the next when there is none.
        SourceView* view = frame().activeSourceView();
        QWidget* home = view ? static_cast<QWidget*>(view->tree()) : &frame();
        const struct {
            int limit;
            bool needsView;
            std::function<void()> act;
        } actions[] = {
            {300, true, [&] { editRow(view); }},
            {420, true, [&] { clickCell(view->tree()); }},
            {520, false, [&] { randomKey(focusIn(&frame(), home)); }},
            {600, false, [&] { shortcut(); }},
            {680, false, [&] { command(); }},
            {730, false, [&] { menuBar(); }},
            {780, true, [&] { drag(); }},
            {830, true, [&] { undoRun(view); }},
            {850, true, [&] { undoAllAndBack(frame().activeSourceDocument()); }},
            {890, true, [&] { filter(view); }},
            {920, false, [&] { switchWindow(); }},
            {940, false, [&] { dropFiles(); }},
            {960, false, [&] { midiInput(); }},
            {1000, false, [&] { openOrClose(); }},
        };
        const int r = below(1000);
        for (const auto& a : actions)
            if (r < a.limit && (view || !a.needsView)) return a.act();
    }

    // Selects a row, opens its editor (F2, double click or typing) and
    // types a value, ending with Enter, Tab, Escape or a click elsewhere.
    void editRow(SourceView* view) {
        QTreeView* tree = view->tree();
        if (chance(15)) {
            g_trail.add("expand everything below a row (*)");
            clickCell(tree);
            if (busy()) return;
            QTest::keyClick(tree, Qt::Key_Asterisk);
        }
        QModelIndex row;
        for (int tries = 0; tries < 8 && (!row.isValid() || tree->model()->hasChildren(row));
             ++tries)
            row = randomRow(tree);
        if (!row.isValid()) return;
        tree->scrollTo(row);
        const QPoint at = tree->visualRect(row.siblingAtColumn(1)).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        if (busy()) return;
        const QString text = randomText();
        const int open = below(3);
        g_trail.add("edit " + row.data().toString().left(40).toStdString() + ": " +
                    std::array{"F2", "double click", "type"}[open] + " \"" +
                    text.left(60).toStdString() + "\"");
        if (open == 0) QTest::keyClick(tree, Qt::Key_F2);
        if (open == 1) QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
        if (busy()) return;
        QPointer<QWidget> focus = QApplication::focusWidget();
        g_trail.note("typing into " + describe(focus));
        if (focus && chance(50)) QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
        if (!focus) return;
        typeText(focus, text);
        if (busy() || !(focus = QApplication::focusWidget())) return;
        const int end = below(10);
        if (end == 9) return clickCell(tree);
        QTest::keyClick(focus, end < 5 ? Qt::Key_Return : end < 7 ? Qt::Key_Tab : Qt::Key_Escape);
    }

    // A shortcut of any command of the main window and its views.
    void shortcut() {
        std::vector<QKeySequence> keys;
        for (QAction* a : frame().findChildren<QAction*>())
            for (const QKeySequence& k : a->shortcuts())
                if (!k.isEmpty()) keys.push_back(k);
        if (keys.empty()) return;
        const QKeySequence k = any(keys);
        QWidget* target = focusIn(&frame(), &frame());
        g_trail.add("shortcut " + k.toString().toStdString() + " to " + describe(target));
        QTest::keyClick(target, k[0].key(), k[0].keyboardModifiers());
    }

    // A menu command of the main window, each in turn in a shuffled order;
    // a disabled one waits (until none in the round is enabled).
    void command() {
        if (commands_.isEmpty()) {
            commands_ = frame().commandNames();
            commands_.sort();  // a hash order would differ from run to run
            std::shuffle(commands_.begin(), commands_.end(), rng_);
        }
        for (qsizetype i = commands_.size() - 1; i >= 0; --i)
            if (QAction* a = frame().commandAction(commands_[i]); a && a->isEnabled()) {
                g_trail.add("command " + commands_.takeAt(i).toStdString());
                return a->trigger();
            }
        commands_.clear();
    }

    // Opens one of the menu bar's menus; the next steps choose in it.
    void menuBar() {
        QMenuBar* bar = frame().menuBar();
        QList<QAction*> menus;
        for (QAction* a : bar->actions())
            if (a->isVisible() && a->isEnabled() && a->menu()) menus << a;
        if (menus.isEmpty()) return;
        QAction* m = any(menus);
        g_trail.add("open menu " + m->text().toStdString());
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(m).center());
    }

    QModelIndex anyIndex(QTreeView* t) {
        return t->indexAt(QPoint(below(t->viewport()->width()), below(t->viewport()->height())));
    }

    // A value dragged from a row of one source window onto a row of another
    // (or the same); the platform has no real drag, so the events are sent.
    void drag() {
        const auto views = frame().sourceViews();
        SourceView* from = any(views);
        SourceView* to = any(views);
        const QModelIndex a = anyIndex(from->tree());
        if (!a.isValid()) return;
        from->tree()->setCurrentIndex(a);
        const auto ref = from->currentRef();
        const QModelIndex b = anyIndex(to->tree());
        if (!ref || !b.isValid()) return;
        g_trail.add("drag " + a.data().toString().toStdString() + " onto " +
                    b.data().toString().toStdString() +
                    (from == to ? " (same window)" : " (other window)"));
        std::unique_ptr<QMimeData> data(from->dragData(*ref));
        sendDrag(to->tree()->viewport(), to->tree()->visualRect(b).center(), data.get(),
                 chance(85));
    }

    void undoRun(SourceView* view) {
        const bool redo = chance(40);
        const int n = below(8) + 1;
        g_trail.add((redo ? "redo x" : "undo x") + std::to_string(n));
        for (int i = 0; i < n && !busy(); ++i) {
            if (!(redo ? view->redoAction() : view->undoAction())->isEnabled()) break;
            QTest::keyClick(focusIn(&frame(), view->tree()), Qt::Key_Z,
                            redo ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        }
    }

    void filter(SourceView* view) {
        const QString text = pick<QString>({"name", "Module", "sub", "xyz", "", "ROM", "$", "1"});
        g_trail.add("filter \"" + text.toStdString() + "\"");
        QTest::keyClick(view->tree(), Qt::Key_F, Qt::ControlModifier);
        QPointer<QWidget> f = QApplication::focusWidget();
        if (f) QTest::keyClick(f, Qt::Key_A, Qt::ControlModifier);
        if (f) typeText(f, text);
        if (f && chance(50))
            QTest::keyClick(f, pick({Qt::Key_Return, Qt::Key_Escape, Qt::Key_Down}));
    }

    void switchWindow() {
        const auto windows = frame().client()->subWindowList();
        if (windows.isEmpty()) return;
        QMdiSubWindow* w = any(windows);
        g_trail.add("activate window " + w->windowTitle().toStdString());
        if (chance(20))
            w->showMinimized();
        else
            frame().client()->setActiveSubWindow(w);
    }

    void dropFiles() {
        QMimeData data;
        const QString p = pickPath(true);
        if (p.isEmpty()) return;
        data.setUrls({QUrl::fromLocalFile(p)});
        g_trail.add("drop file " + p.toStdString() + " on the main window");
        sendDrag(&frame(), QPoint(frame().width() / 2, frame().height() / 2), &data, true);
    }

    // A system exclusive message, a note, or any bytes at all.
    void midiInput() {
        const int kind = below(3);
        std::vector<std::uint8_t> bytes;
        if (kind == 1) bytes = {0x90, 60, 100};
        if (kind == 0) bytes = {0xF0, 0x43, 0x10};
        for (int i = kind == 0 ? below(200) : kind == 2 ? below(20) + 1 : 0; i > 0; --i)
            bytes.push_back(static_cast<std::uint8_t>(below(kind == 0 ? 128 : 256)));
        if (kind == 0) bytes.push_back(0xF7);
        const bool delivered = midi_.send(bytes);
        g_trail.add("MIDI input of " + std::to_string(bytes.size()) + " bytes" +
                    (delivered ? "" : " (no input open)"));
    }

    void openOrClose() {
        const int r = below(4);
        const QString p = r == 0 ? pickPath(true) : QString();
        if (r == 0 && p.isEmpty()) return;
        g_trail.add(std::array<std::string, 4>{"open " + p.toStdString(),
                                               "close the active window (Ctrl+W)", "new document",
                                               "close the main window"}[r]);
        if (r == 0) frame().openFiles({p});
        if (r == 1) QTest::keyClick(&frame(), Qt::Key_W, Qt::ControlModifier);
        if (r == 2) frame().documents().newDocument();
        if (r == 3) frame().close();
    }

    struct Tracked {
        QPointer<SourceDocument> doc;
        std::unique_ptr<SourceRecord> start;  // null: the start is unknown
    };
    std::map<const SourceDocument*, Tracked> tracked_;

    void afterAction() {
        if (!frame().isVisible()) {
            g_trail.add("main window closed: a new one starts");
            tracked_.clear();
            app_.reset();
            startApp();
        }
        ensureDocument();
        app_->preferences().hostPath = host_.toStdString();
        settleTimers();
        std::erase_if(tracked_, [](const auto& t) { return t.second.doc.isNull(); });
        for (SourceDocument* d : sourceDocuments()) {
            SourceDoc& s = d->source();
            if (!tracked_.count(d))
                tracked_.emplace(d, Tracked{d, s.canUndo() ? nullptr : copyRecord(s.working())});
            checkReadable(*d);
            checkSaved(*d);
            if (!failure_.empty()) return;
        }
        if (++sinceUndoCheck_ % 60 == 0) undoAllAndBack(frame().activeSourceDocument());
    }

    // Lets the short one-shot timers of the windows (the filter's delay) run
    // out before the next action, so that a seed replays the same way however
    // fast the machine is.
    void settleTimers() {
        auto pending = [this] {
            for (QTimer* t : frame().findChildren<QTimer*>())
                if (t->isActive() && t->isSingleShot() && t->remainingTime() <= 1000) return true;
            return false;
        };
        paused_ = true;
        QElapsedTimer waited;
        waited.start();
        while (pending() && waited.elapsed() < 3000) QTest::qWait(10);
        paused_ = false;
    }

    void checkReadable(SourceDocument& d) {
        const SourceRecord& r = d.source().working();
        // A record with no valid module or a block too large is refused
        // with its own message.
        if (buildFileImage(r) || validModuleCount(r) == 0 || anyBlockTooLarge(r)) return;
        fail("the record of " + d.displayName().toStdString() +
             " makes no file, without a known reason");
    }

    void checkSaved(SourceDocument& d) {
        // A backup open in a window is replaced on disk when its original is
        // saved: that is what backups are for.
        if (d.isModified() || !d.hasFile() || d.filePath().endsWith(".bak", Qt::CaseInsensitive))
            return;
        const std::string path = d.filePath().toStdString();
        auto back = readSourceFile(path);
        if (!back)
            return fail("the unmodified document " + path +
                        " has a file that does not read: " + back.error().text);
        // Compared as the file keeps them: module slots beyond "Number of
        // modules" keep stale values in the editor that no file holds.
        if (buildFileImage(*back) != buildFileImage(d.source().working()))
            fail("the unmodified document " + path +
                 " differs from its file: " + firstDifference(*back, d.source().working()));
    }

    // Undoes every step (the record must be the one the document started
    // with), then redoes them all (the record must be the one it had).
    void undoAllAndBack(SourceDocument* d) {
        if (!d || !tracked_.count(d) || !d->view()) return;
        SourceView* view = d->view();
        // Not while an edit box is open: the undo would commit it first.
        QWidget* focus = QApplication::focusWidget();
        if (focus && view->tree()->viewport()->isAncestorOf(focus)) return;
        SourceDoc& s = d->source();
        const std::string name = d->displayName().toStdString();
        const auto before = copyRecord(s.working());
        int undone = 0, redone = 0;
        for (; s.canUndo() && undone < 5000; ++undone) view->undoAction()->trigger();
        g_trail.add("check: undo all " + std::to_string(undone) + " steps of " + name +
                    " and redo them");
        const auto& start = tracked_[d].start;
        if (start && !sameRecord(s.working(), *start))
            return fail("after undoing all " + std::to_string(undone) + " steps of " + name +
                        " the record differs from the one it started with: " +
                        firstDifference(s.working(), *start));
        for (; s.canRedo() && redone < undone; ++redone) view->redoAction()->trigger();
        if (redone != undone || !sameRecord(s.working(), *before))
            fail("redoing the " + std::to_string(redone) + " steps of " + name +
                 " does not give back the record: " + firstDifference(s.working(), *before));
    }

    QTemporaryDir dir_;
    std::mt19937_64 rng_;
    Prompter* previousPrompter_ = nullptr;
    FakeMidiSystem midi_;
    MidiSystem* previousMidi_ = nullptr;
    QString host_ = dir_.filePath("seq/arranta");
    std::unique_ptr<SysforgeApp> app_;
    long maxActions_;
    qint64 deadlineMs_;
    QElapsedTimer clock_;
    QEventLoop* loop_ = nullptr;
    bool stopping_ = false, paused_ = false;
    std::string failure_;
    QPointer<QWidget> currentModal_;
    QStringList commands_;
    int modalSteps_ = 0, sinceUndoCheck_ = 0, popups_ = 0;
    QObject guard_;  // queued steps die with the run
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    g_trail.programPath = argv[0];
    g_trail.verbose = qEnvironmentVariableIsSet("SF_MONKEY_VERBOSE");
    std::map<std::string, std::string> opt;  // "--seed" -> "N"
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const std::string name = a.substr(0, a.find('='));
        if (name == a ||
            (name != "--seed" && name != "--actions" && name != "--seconds" && name != "--seeds")) {
            std::fprintf(stderr, "usage: %s [--seed=N] [--actions=N] [--seconds=S] [--seeds=K]\n",
                         argv[0]);
            return 2;
        }
        opt[name] = a.substr(name.size() + 1);
    }
    for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL}) std::signal(sig, onFatalSignal);
    std::set_terminate([] {
        dumpTrailOnCrash();
        std::abort();
    });
#ifdef SF_LEAK_CHECKED
    __sanitizer_set_death_callback(dumpTrailOnCrash);
#endif

    // Without a seed: the fixed seeds of CI, within its budget; the
    // sanitizer build runs slower and gets the larger share of the budget.
#ifdef SF_LEAK_CHECKED
    const double ciSeconds = 70;
#else
    const double ciSeconds = 40;
#endif
    auto num = [&](const char* name) { return opt.count(name) ? std::stod(opt[name]) : 0.0; };
    const bool seedGiven = opt.count("--seed");
    const std::uint64_t first = seedGiven ? std::stoull(opt["--seed"]) : 1;
    const int seedCount = seedGiven ? std::max(1, int(num("--seeds"))) : 3;
    double seconds = num("--seconds");
    long actions = long(num("--actions"));
    if (actions <= 0) actions = !seedGiven ? 1500 : seconds > 0 ? 1L << 40 : 1000;
    if (seconds <= 0) seconds = seedGiven ? 1e9 : ciSeconds;

    QElapsedTimer total;
    total.start();
    long done = 0;
    int k = 0;
    std::string failure;
    for (; k < seedCount && failure.empty(); ++k) {
        const qint64 left = static_cast<qint64>(seconds * 1000) - total.elapsed();
        if (left <= 0) break;
        // The fixed seeds share the time evenly; given ones run until it ends.
        Monkey m(first + k, actions, seedGiven ? left : left / (seedCount - k));
        failure = m.run();
        done += g_trail.actions;
        std::printf("seed %llu: %ld actions%s\n", static_cast<unsigned long long>(first + k),
                    g_trail.actions, failure.empty() ? "" : ", FAILED");
        std::fflush(stdout);
        if (!failure.empty()) g_trail.print(failure.c_str());
    }
    std::printf("random input: %ld actions over %d seeds in %.1f s\n", done, k,
                total.elapsed() / 1000.0);
    return failure.empty() ? 0 : 1;
}
