// The Preferences dialog: what it shows, what OK and Cancel store, and every
// open source view writing its hexadecimal numbers with the new prefix.
#include <QAbstractItemModel>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <functional>

#include "app/preferencesdialog.h"
#include "source/sourceview.h"
#include "support/app_fixture.h"
#include "support/modal_driver.h"
#include "sysex/message.h"

using namespace sf;
using namespace sf::gui;
using sf::testsupport::AppFixture;

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
            QCOMPARE(d->prefixButton(2)->text(), QStringLiteral(" &&H (example: &&HFF)"));
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
        QCOMPARE(views.size(), size_t(2));
        for (SourceView* v : views) {
            QVERIFY(values(v).contains("$F0"));  // the common header
            QVERIFY(!values(v).join(' ').contains("0x"));
        }
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
};

QTEST_MAIN(PreferencesTest)
#include "preferences_test.moc"
