// The message editor opened from a message row: insert, retype through the
// "Value" dialog, OK writes into the document; Cancel and an unchanged OK
// leave it alone; the keyboard reaches everything.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "editor/document.h"
#include "patchtools/install_editors.h"
#include "patchtools/listsupport.h"
#include "source/message_record.h"
#include "source/value_editors.h"
#include "support/modal_driver.h"
#include "sysex/messagedialog.h"

using namespace sf;
using namespace sf::gui;
using namespace sf::testsupport;

namespace {

std::string messageText(const SourceDoc& doc, int id) {
    return formatMessageField(doc.working(), *messageField(doc.working(), makeRef(id)));
}

bool runEditor(SourceDoc& doc, int id) {
    const SettingRef ref = makeRef(id);
    const ValueEditor* editor = findValueEditor(ref);
    return editor && (*editor)(ValueEditContext{nullptr, doc, ref});
}

}  // namespace

class MessageEditorTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { installValueEditors(); }

    void insertAndRetypeThenOk() {
        SourceDoc doc(newSource());
        parseMessageField(doc.working(), *messageField(doc.working(), makeRef(35)),
                          "$F0,$43,$10,$F7");
        onNextDialog<SysexMessageDialog>([](SysexMessageDialog* d) {
            ListView* list = d->list();
            QCOMPARE(list->model()->rowCount(), 40);
            list->selectRow(2);
            click(d, "insertButton");
            QCOMPARE(list->model()->index(2, 1).data().toString(), QStringLiteral("$0"));
            onNextDialog<ValueDialog>([](ValueDialog* v) {
                QCOMPARE(v->windowTitle(), QStringLiteral("Value"));
                QCOMPARE(v->field()->count(), 27);
                v->field()->setCurrentIndex(
                    v->field()->findText(QStringLiteral("Wait100 (Wait 100 ms)")));
                QTest::keyClick(v->field(), Qt::Key_Return);
            });
            doubleClick(list, list->model()->index(2, 1));
            QCOMPARE(list->model()->index(2, 4).data().toString(), QStringLiteral("Wait 100 ms"));
            click(d, "okButton");
        });
        QVERIFY(runEditor(doc, 35));
        QCOMPARE(missedDialogs(), 0);
        QCOMPARE(messageText(doc, 35), std::string("$F0,$43,Wait100,$10,$F7"));
    }

    void cancelAndUnchangedOkLeaveTheMessage() {
        SourceDoc doc(newSource());
        parseMessageField(doc.working(), *messageField(doc.working(), makeRef(35)), "$F0,$F7");
        onNextDialog<SysexMessageDialog>([](SysexMessageDialog* d) {
            d->list()->selectRow(0);
            click(d, "deleteButton");
            click(d, "cancelButton");
        });
        QVERIFY(!runEditor(doc, 35));
        // Delete and insert back the same value: no change, OK answers false.
        onNextDialog<SysexMessageDialog>([](SysexMessageDialog* d) {
            d->list()->selectRow(1);
            click(d, "deleteButton");
            onNextDialog<ValueDialog>([](ValueDialog* v) {
                v->field()->setEditText(QStringLiteral("$F7"));
                QTest::keyClick(v->field(), Qt::Key_Return);
            });
            d->editRow(1);
            click(d, "okButton");
        });
        QVERIFY(!runEditor(doc, 35));
        QCOMPARE(missedDialogs(), 0);
        QCOMPARE(messageText(doc, 35), std::string("$F0,$F7"));
    }

    void keyboardOnAFullMessage() {
        SourceDoc doc(newSource());
        // "Common header": eight units fill it; labels and Insert follow.
        parseMessageField(doc.working(), *messageField(doc.working(), makeRef(15)),
                          "1,2,3,4,5,6,7,8");
        onNextDialog<SysexMessageDialog>([](SysexMessageDialog* d) {
            ListView* list = d->list();
            QCOMPARE(d->focusWidget(), static_cast<QWidget*>(list));
            QTest::keyClick(list, Qt::Key_Down);
            QVERIFY(d->findChild<QPushButton*>("deleteButton")->isEnabled());
            QVERIFY(!d->findChild<QPushButton*>("insertButton")->isEnabled());
            onNextDialog<ValueDialog>([](ValueDialog* v) {
                QTest::keyClicks(v->field()->lineEdit(), "chk");  // replaces the selected "$2"
                QCOMPARE(v->result(), QStringLiteral("chk (Checksum)"));  // completed from the list
                QTest::keyClick(v->field(), Qt::Key_Return);              // the completion, and OK
                QVERIFY(!v->isVisible());
            });
            QTest::keyClick(list, Qt::Key_F2);  // F2 retypes the current row
            onNextDialog<ValueDialog>([](ValueDialog* v) { QTest::keyClick(v, Qt::Key_Escape); });
            QTest::keyClick(list, Qt::Key_F2);
            QTest::keyClick(list, Qt::Key_Return);  // Enter is OK
        });
        QVERIFY(runEditor(doc, 15));
        QCOMPARE(missedDialogs(), 0);
        QCOMPARE(messageText(doc, 15), std::string("$1,Chk,$3,$4,$5,$6,$7,$8"));
    }
};

QTEST_MAIN(MessageEditorTest)
#include "message_editor_test.moc"
