// The Preferences dialog: what it shows, what OK and Cancel store, every
// open source view writing its hexadecimal numbers with the new prefix; and
// "Save and run Arranta" with the host path they hold.
#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <functional>

#include "app/preferencesdialog.h"
#include "app/sourcedocument.h"
#include "source/sourceview.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/message.h"

using namespace sf;
using namespace sf::gui;
using namespace sf::testsupport;

namespace {

// Every Value cell of a view, in tree order.
QStringList values(SourceView* v) {
    QStringList out;
    QAbstractItemModel* m = v->tree()->model();
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int r = 0; r < m->rowCount(parent); ++r) {
            out << m->index(r, 1, parent).data().toString();
            walk(m->index(r, 0, parent));
        }
    };
    walk({});
    return out;
}

// A host program that writes its working folder into `record`.
QString makeHost(const AppFixture& f, const QString& record) {
    QDir(f.dir()).mkpath("seq/VANTOR.DAT");
    const QString host = f.path("seq/arranta");
    const QString script =
        "#!/bin/sh\npwd > '" + record + ".part' && mv '" + record + ".part' '" + record + "'\n";
    if (!writeFile(host, script.toUtf8())) return {};
    QFile(host).setPermissions(QFile(host).permissions() | QFile::ExeOwner);
    return host;
}

}  // namespace

class PreferencesTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() {
        setHexPrefixIndex(1);
        QCOMPARE(testsupport::missedDialogs(), 0);
    }

    void dialogShowsAndStoresThePreferences() {
        AppFixture f;
        Preferences& p = f.app().preferences();
        p.hostPath = "/opt/arranta/arranta";
        testsupport::onNextDialog<PreferencesDialog>([](PreferencesDialog* d) {
            QCOMPARE(d->hostPathEdit()->text(), QStringLiteral("/opt/arranta/arranta"));
            QVERIFY(d->prefixButton(1)->isChecked());
            d->hostPathEdit()->setText("/elsewhere/host");
            d->prefixButton(2)->click();
            d->reject();
        });
        f.trigger("actionPreferences");
        QCOMPARE(p.hostPath, std::string("/opt/arranta/arranta"));  // Cancel changes nothing
        QCOMPARE(p.hexType, 1);

        testsupport::onNextDialog<PreferencesDialog>([](PreferencesDialog* d) {
            d->hostPathEdit()->setText("  /typed as is ");
            d->driversEdit()->setText("/data/drivers");
            d->prefixButton(2)->click();
            d->accept();
        });
        f.trigger("actionPreferences");
        QCOMPARE(p.hostPath, std::string("  /typed as is "));
        QCOMPARE(p.driversRoot, std::string("/data/drivers"));
        QCOMPARE(p.hexType, 2);
        QCOMPARE(QString::fromLatin1(hexPrefix()), QStringLiteral("&H"));
    }

    void everyOpenViewFollowsThePrefix() {
        AppFixture f;
        f.frame().openFiles({f.makeSource("a.d"), f.makeSource("b.d", 3)});
        const auto views = f.frame().sourceViews();
        QVERIFY(values(views.front()).contains("$F0"));  // the common header
        // The cells are drawn from the record, so what shows a change on
        // screen is the model telling the tree to redraw.
        std::vector<std::unique_ptr<QSignalSpy>> redraws;
        for (SourceView* v : views)
            redraws.push_back(
                std::make_unique<QSignalSpy>(v->tree()->model(), &QAbstractItemModel::dataChanged));
        testsupport::onNextDialog<PreferencesDialog>([](PreferencesDialog* d) {
            d->prefixButton(0)->click();
            d->accept();
        });
        f.trigger("actionPreferences");
        for (auto& spy : redraws) QVERIFY(spy->count() > 0);
        for (SourceView* v : views) {
            const QStringList after = values(v);
            QVERIFY(after.contains("0xF0"));
            // (The character table holds a "$" of its own.)
            const QRegularExpression dollarHex(QStringLiteral("\\$[0-9A-F]"));
            for (const QString& s : after) QVERIFY2(!s.contains(dollarHex), qPrintable(s));
        }
        // A view opened later starts with the new prefix as well.
        f.frame().documents().newDocument();
        QVERIFY(values(f.frame().activeSourceView()).contains("0xF0"));
    }

    // "Save and run Arranta": the driver goes into the host's VANTOR.DAT
    // folder and the host starts in its own folder.
    void saveAndRunWritesTheDriverAndStartsTheHostInItsFolder() {
        AppFixture f;
        const QString record = f.path("ran.txt");
        f.app().preferences().hostPath = makeHost(f, record).toStdString();
        const QString src = f.makeSource("my.synth.d", 3);
        f.frame().openFiles({src});
        auto* doc = f.frame().activeSourceDocument();
        QVERIFY(f.frame().activeSourceView()->editValue(makeRef(107, 1), "Voices"));

        f.trigger("actionSaveAndRun");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 5000);
        QCOMPARE(bytesOf(record).trimmed(), QDir(f.path("seq")).canonicalPath().toUtf8());
        // Saved first (the changed source), and the driver written in both places.
        QVERIFY(!doc->isModified());
        QVERIFY(QFile::exists(f.path("my.synth.bak")));
        const QByteArray driver = bytesOf(f.path("seq/VANTOR.DAT/my.synth.dev"));
        QVERIFY(driver.startsWith("DEV "));
        QCOMPARE(driver, bytesOf(f.path("my.synth.dev")));
        QVERIFY(f.prompter().messages.empty());
    }

    // Which host paths are refused is the core's; here: the Preferences open.
    void saveAndRunWithAWrongHostPathOpensThePreferences() {
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

    void saveAndRunOfASourceNeverSavedOnlyAsksForAName() {
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

QTEST_MAIN(PreferencesTest)
#include "preferences_test.moc"
