// The MIDI windows on a scripted MIDI system: the hex view's scroll bars,
// the numeric converter typed into as a user would, "Receive MIDI bulk" and
// "Send...". The arithmetic behind them (scrolling, the fields'
// texts, what a capture records and when an error is said) has its own
// tests; here: the wiring of keys, bars, threads and timers to it.
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>

#include "framework/prompter.h"
#include "instrument/instrumentdialogs.h"
#include "source/message_record.h"
#include "source/sourceview.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/memorydoc.h"
#include "sysex/memoryview.h"
#include "sysex/midibulkdialog.h"
#include "sysex/midisettingsdialog.h"
#include "sysex/numericconverter.h"
#include "ui/qtprompter.h"

using namespace sf;
using namespace sf::gui;
using Bytes = std::vector<std::uint8_t>;
using F = sf::ConverterField;
using Converter = sf::gui::NumericConverter;
using sf::testsupport::retype;

namespace {

// A hex view whose client area holds exactly `rows` rows and `columns` characters.
void fit(MemoryView& v, int columns, int rows) {
    v.show();
    const QSize frame = v.size() - v.viewport()->size();
    v.resize(frame + QSize(columns * v.charWidth(), rows * v.charHeight()));
    QCoreApplication::processEvents();
}

}  // namespace

class SysexWindowsTest : public QObject {
    Q_OBJECT
    RecordingPrompter prompter_;
    FakeMidiSystem midi_;

    Converter* openConverter() {
        savedConverterState() = {};
        Converter* c = Converter::showConverter(nullptr);
        return QTest::qWaitForWindowExposed(c) ? c : nullptr;
    }
    static QString text(Converter* c, F f) { return c->field(f)->text(); }
    static std::vector<MessageUnit> message(const char* text) {
        std::vector<MessageUnit> u(40);
        u.resize(std::size_t(parseMessage(text, u, 40)));
        return u;
    }

  private slots:
    void init() {
        prompter_ = {};
        setPrompter(&prompter_);
        midi_.inputPorts = {{"Through", "ALSA"}, {"sender:out", "JACK"}};
        midi_.outputPorts = {{"synth", "ALSA"}};
    }
    void cleanup() {
        setPrompter(nullptr);
        if (Converter::instance()) Converter::instance()->close();
        QTRY_VERIFY(!Converter::instance());
    }

    // The bars and keys reach the layout (whose scrolling has its own tests):
    // a small or empty document cannot scroll down, a large one scrolls its
    // whole range and back, and a taller window at the bottom stays there.
    void hexViewBarsAndKeysMoveTheLayout() {
        MemoryDoc small(std::vector<std::uint8_t>(20, 0x70)), empty({});
        MemoryView s(small), e(empty);
        fit(s, 40, 10);
        fit(e, 80, 10);
        QVERIFY(!s.verticalScrollBar()->isEnabled());
        s.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(s.layout().firstColumn(), s.layout().lineWidth() - 40);
        QVERIFY(!s.grab().isNull() && !e.grab().isNull());

        MemoryDoc doc(std::vector<std::uint8_t>(1'000'000, 0x41));
        MemoryView v(doc);
        fit(v, 90, 50);
        const std::int64_t rows = 62'500;
        v.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(v.layout().firstRow(), rows - 50);
        // More rows than a bar counts: the thumb in the middle shows the middle rows.
        v.verticalScrollBar()->setSliderPosition(5000);
        QVERIFY(qAbs(v.layout().firstRow() - rows / 2) <= rows / 9999 + 1);
        QTest::keyClick(&v, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(v.verticalScrollBar()->value(), 0);
        v.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        fit(v, 90, 80);
        QCOMPARE(v.layout().firstRow(), rows - 80);
    }

    // The keys go through the fields' filters into the other fields, the
    // size buttons and the beeps (what they compute is the converter's own
    // tests'); the Bits field keeps its width.
    void converterTypingRewritesTheOtherFields() {
        Converter* c = openConverter();
        QVERIFY(c);
        QTest::mouseClick(c->sizeButton(8), Qt::LeftButton);
        const int bits8 = c->field(F::Bits)->width();
        retype(c->field(F::Unsigned), "2x00");  // the filter drops the letter
        QCOMPARE(text(c, F::Roland), QString("01, 48"));
        QVERIFY(c->sizeButton(16)->isChecked());
        QCOMPARE(c->rangeLabel(F::Hex)->text(), QString("(0 / FFFF)"));
        QCOMPARE(c->beeps(), 0);
        retype(c->field(F::Roland), "80");
        QVERIFY(c->beeps() > 0);

        // A whole 32-bit pattern fits the Bits field, as wide as at 8 bits.
        QTest::mouseClick(c->sizeButton(32), Qt::LeftButton);
        retype(c->field(F::Hex), "FFFFFFFF9");  // eight digits at most
        QCOMPARE(text(c, F::Hex), QString("FFFFFFFF"));
        QCoreApplication::processEvents();
        QLineEdit* bits = c->field(F::Bits);
        QCOMPARE(bits->width(), bits8);
        QCOMPARE(bits->text().size(), 35);
        QVERIFY(bits->fontMetrics().horizontalAdvance(bits->text()) < bits->contentsRect().width());
    }

    void converterIsOneWindowWhoseStateOutlivesIt() {
        Converter* c = openConverter();
        QVERIFY(c);
        QCOMPARE(Converter::showConverter(nullptr), c);
        QTest::mouseClick(c->sizeButton(16), Qt::LeftButton);
        QTest::mouseClick(c->groupFormButton(1), Qt::LeftButton);
        retype(c->field(F::Hex), "3FF");
        c->close();
        QTRY_VERIFY(!Converter::instance());
        c = Converter::showConverter(nullptr);
        QVERIFY(c->sizeButton(16)->isChecked());
        QCOMPARE(text(c, F::Roland), QString("7, 127"));
    }

    void bulkLinesAndButtonsFollowTheMidiThread() {
        MidiBulkDialog d(midi_, {1, "JACK: sender:out"});
        d.show();
        QCOMPARE(d.portLine()->text(), QString("MIDI input: JACK: sender:out"));
        QVERIFY(!d.clearButton()->isEnabled() && !d.showButton()->isEnabled());
        Bytes dump(1024, 0x21);
        dump.front() = 0xF0;
        dump.back() = 0xF7;
        QVERIFY(midi_.sendFromThread(dump));
        QVERIFY(midi_.sendFromThread(Bytes{0xC0, 7}));
        QTRY_COMPARE_WITH_TIMEOUT(d.countLine()->text(), QString("Number of bytes received : 1026"),
                                  2000);
        QVERIFY(d.clearButton()->isEnabled() && d.showButton()->isDefault());
        QTest::mouseClick(d.clearButton(), Qt::LeftButton);
        QCOMPARE(d.countLine()->text(), QString("Number of bytes received : 0"));
        QVERIFY(prompter_.messages.empty());

        midi_.sendError();  // said from the dialog's timer
        QTRY_COMPARE_WITH_TIMEOUT(prompter_.messages.size(), std::size_t(1), 2000);
        QTest::mouseClick(d.closeButton(), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!midi_.isOpen());
    }

    // An input that cannot open is said once and leaves the buttons disabled;
    // with no MIDI system at all the MIDI settings say so.
    void noInputAndNoMidiSystem() {
        midi_.inputPorts.clear();
        MidiBulkDialog d(midi_, {-1, ""});
        d.show();
        QTest::qWait(150);
        QCOMPARE(prompter_.messages.size(), std::size_t(1));
        QVERIFY(d.isVisible() && !d.clearButton()->isEnabled() && !d.showButton()->isEnabled());
        QCOMPARE(d.portLine()->text(), QString("MIDI input: no port available"));

        QVERIFY(!MidiSettingsDialog(midi_, {}).findChild<QLabel*>("noMidiSystem"));
        midi_.systemPresent = false;
        MidiSettingsDialog none(midi_, {});
        midi_.systemPresent = true;
        auto* note = none.findChild<QLabel*>("noMidiSystem");
        QVERIFY(note && note->text().contains("ALSA sequencer") &&
                note->text().contains("JACK server"));
    }

    // "Send...": the values a message's tags need, the bytes updated as a
    // value is typed, and Send through the chosen output; "Send..." and
    // "Request dump..." reached from the row menu of the tree.
    void sendTypedValuesChangeTheBytesAndSendSendsThem() {
        auto r = newSource();
        SendDialog dialog(midi_, {0, "ALSA: synth"}, *r, 0, 205, message("$F0,$43,X1,Joker,$F7"),
                          nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSpinBox* x1 = dialog.field("X1");
        QVERIFY(x1 && dialog.field("Joker") && !dialog.field("X2"));
        QCOMPARE(dialog.bytesView()->toPlainText(), QString("F0 43 00 00 F7"));
        QCOMPARE(QApplication::focusWidget(), x1);  // the first value has the focus
        QTest::keyClick(x1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(x1, "9");
        QCOMPARE(dialog.bytesView()->toPlainText(), QString("F0 43 09 00 F7"));
        QTest::mouseClick(dialog.sendButton(), Qt::LeftButton);
        QTRY_VERIFY(!dialog.running() && dialog.sendButton()->isEnabled());
        QCOMPARE(midi_.sentEvents(), (std::vector<Bytes>{{0xF0, 0x43, 0x09, 0x00, 0xF7}}));
        QTRY_VERIFY(dialog.logView()->toPlainText().contains("sent      5 bytes  F0 43 09 00 F7"));
        QVERIFY(prompter_.messages.empty());

        // A port that is gone: said, and nothing sent.
        SendDialog noPort(midi_, {0, "ALSA: gone"}, *r, 0, 205, message("$C0,$05"), nullptr);
        QTest::mouseClick(noPort.sendButton(), Qt::LeftButton);
        QCOMPARE(prompter_.messages.size(), std::size_t(1));
        QCOMPARE(prompter_.messages[0].text, std::string("The MIDI output could not be opened!"));
        QCOMPARE(midi_.sentEvents().size(), std::size_t(1));
    }

    // A right click on a row, as the mouse gives it, and the entry `item` of
    // its menu chosen.
    static void rowMenu(SourceView* v, const SettingRef& ref, const QString& item) {
        v->selectRef(ref);
        QTreeView* tree = v->tree();
        const QModelIndex cell = tree->currentIndex().siblingAtColumn(1);
        tree->scrollTo(cell);
        const QPoint at = tree->visualRect(cell).center();
        tree->setCurrentIndex({});  // the click itself picks the row
        testsupport::onNextMenu(item);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
    }

    void rowMenuSendsAMessageAndRequestsAModulesDump() {
        testsupport::AppFixture f;
        const QString file = f.makeSource("m.d");
        QCOMPARE(testsupport::runCli({"set", file, "205:0", "$F0,$41,X1,$F7"}), 0);
        f.app().preferences().midiOut = 0;
        f.app().preferences().midiIn = 0;
        f.app().config().selectPath("\\Paths");
        f.app().config().writeText("MidiOutName", 0, "ALSA: synth");
        f.app().config().writeText("MidiInName", 0, "ALSA: synth out");
        f.app().config().selectRoot();
        FakeMidiSystem midi;
        midi.outputPorts = {{"synth", "ALSA"}};
        midi.inputPorts = {{"synth out", "ALSA"}};
        struct Restore {
            MidiSystem* previous;
            ~Restore() { setMidiSystem(previous); }
        } restore{setMidiSystem(&midi)};
        f.frame().openFiles({file});
        SourceView* v = f.frame().activeSourceView();
        QVERIFY(v);

        QString bytes;
        testsupport::onNextDialog<SendDialog>([&](SendDialog* d) {
            bytes = d->bytesView()->toPlainText();
            QTest::mouseClick(d->sendButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!d->running() && d->sendButton()->isEnabled(), 3000);
            d->reject();
        });
        rowMenu(v, makeRef(205, 0), "Send...");
        QCOMPARE(bytes, QString("F0 41 00 F7"));
        QCOMPARE(midi.sentEvents(), (std::vector<Bytes>{{0xF0, 0x41, 0x00, 0xF7}}));

        QString status;
        testsupport::onNextDialog<RequestDumpDialog>([&](RequestDumpDialog* d) {
            QTRY_VERIFY_WITH_TIMEOUT(!d->running() && !d->stopButton()->isEnabled(), 3000);
            status = d->statusLine()->text();
            d->reject();
        });
        rowMenu(v, makeRef(105, 0), "Request dump...");
        QCOMPARE(midi.sentEvents().size(), std::size_t(2));
        QVERIFY(midi.sentEvents()[1] == midi.sentEvents()[0]);
        QVERIFY2(status.startsWith("Dump received"), qPrintable(status));
        QVERIFY(f.prompter().messages.empty());
        QCOMPARE(testsupport::missedDialogs(), 0);
    }
};

QTEST_MAIN(SysexWindowsTest)
#include "sysex_windows_test.moc"
