// "Save and run Arranta": the driver goes into the host's VANTOR.DAT folder
// and the host starts in its own folder; a wrong host path opens the
// Preferences; a source never saved only asks for a name.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTest>

#include "app/preferencesdialog.h"
#include "app/sourcedocument.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"

using namespace sf;
using namespace sf::gui;
using sf::testsupport::AppFixture;

namespace {

// A host program that writes its working folder into `record`.
QString makeHost(const AppFixture& f, const QString& record) {
    QDir(f.dir()).mkpath("seq/VANTOR.DAT");
    const QString host = f.path("seq/arranta");
    QFile s(host);
    if (!s.open(QIODevice::WriteOnly)) return {};
    s.write(
        ("#!/bin/sh\npwd > '" + record + ".part' && mv '" + record + ".part' '" + record + "'\n")
            .toUtf8());
    s.close();
    s.setPermissions(s.permissions() | QFile::ExeOwner);
    return host;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class SaveAndRunTest : public QObject {
    Q_OBJECT
  private slots:
    void writesTheDriverAndStartsTheHostInItsFolder() {
        AppFixture f;
        const QString record = f.path("ran.txt");
        f.app().preferences().hostPath = makeHost(f, record).toStdString();
        const QString src = f.makeSource("my.synth.d", 3);
        f.frame().openFiles({src});
        auto* doc = f.frame().activeSourceDocument();
        QVERIFY(f.frame().activeSourceView()->editValue(makeRef(107, 1), "Voices"));

        f.trigger("actionSaveAndRun");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 5000);
        QCOMPARE(readAll(record).trimmed(), QDir(f.path("seq")).canonicalPath().toUtf8());
        // Saved first (the changed source), and the driver written in both places.
        QVERIFY(!doc->isModified());
        QVERIFY(QFile::exists(f.path("my.synth.bak")));
        const QByteArray driver = readAll(f.path("seq/VANTOR.DAT/my.synth.dev"));
        QVERIFY(driver.startsWith("DEV "));
        QCOMPARE(driver, readAll(f.path("my.synth.dev")));
        QVERIFY(f.prompter().messages.empty());
    }

    // Which host paths are refused is the core's; here: the Preferences open.
    void wrongHostPathOpensThePreferences() {
        AppFixture f;
        f.frame().openFiles({f.makeSource("a.d")});
        bool dialogShown = false;
        testsupport::onNextDialog<PreferencesDialog>([&](PreferencesDialog* d) {
            dialogShown = true;
            d->reject();
        });
        f.trigger("actionSaveAndRun");
        QVERIFY(dialogShown);
        QCOMPARE(f.prompter().messages.size(), size_t(1));
    }

    void neverSavedSourceOnlyAsksForAName() {
        AppFixture f;
        const QString record = f.path("ran.txt");
        f.app().preferences().hostPath = makeHost(f, record).toStdString();
        int dialogs = 0;
        f.answerFileDialogs([&](const QString&) {
            ++dialogs;
            return f.path("named");
        });
        f.frame().documents().newDocument();
        f.trigger("actionSaveAndRun");
        QCOMPARE(dialogs, 1);
        QVERIFY(QFile::exists(f.path("named.d")));
        QTest::qWait(300);
        QVERIFY(!QFile::exists(record));  // the user gives the command again
        QVERIFY(!QFile::exists(f.path("seq/VANTOR.DAT/named.dev")));
    }
};

QTEST_MAIN(SaveAndRunTest)
#include "saveandrun_test.moc"
