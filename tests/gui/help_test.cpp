// The bundled help: every topic the program can open exists, has content
// and only links to pages that exist; the menu commands and showHelp open
// the viewer at the right page.
#include "ui/help.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>

#include "app/helpviewer.h"
#include "support/app_fixture.h"

using namespace sf::gui;
using sf::testsupport::AppFixture;

class HelpTest : public QObject {
    Q_OBJECT
  private slots:
    void everyTopicHasContentAndWorkingLinks() {
        AppFixture f;  // registers the resources
        QStringList pages{"index"};
        for (int c = 2001; c <= 2026; ++c) pages << QString::number(c);
        pages << QStringLiteral("2031") << QStringLiteral("2032");  // analysis, instrument
        const QRegularExpression link(QStringLiteral("href=\"([^\"#:]+)\""));
        for (const QString& p : pages) {
            QFile file(":/help/" + p + ".html");
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(p));
            const QString html = QString::fromUtf8(file.readAll());
            QTextDocument doc;
            doc.setHtml(html);
            QVERIFY2(!doc.metaInformation(QTextDocument::DocumentTitle).isEmpty(), qPrintable(p));
            QVERIFY2(doc.toPlainText().size() > 500, qPrintable(p));
            for (auto it = link.globalMatch(html); it.hasNext();) {
                const QString target = it.next().captured(1);
                QVERIFY2(QFile::exists(":/help/" + target), qPrintable(p + " -> " + target));
            }
        }
    }

    void commandsOpenTheViewerAtTheirTopic() {
        QIcon::setThemeName(QStringLiteral("no-such-theme"));  // the bundled icons alone
        AppFixture f;
        f.trigger("actionGlossary");
        HelpViewer* v = HelpViewer::instance();
        QVERIFY(v->isVisible());
        QCOMPARE(v->browser()->source(), QUrl("qrc:/help/2010.html"));
        QCOMPARE(v->browser()->documentTitle(), QStringLiteral("Glossary"));
        f.trigger("actionHelp");
        QCOMPARE(v->browser()->source(), QUrl("qrc:/help/index.html"));
        showHelp(2015);  // a setting's help icon, a dialog's "&Help" button
        QCOMPARE(HelpViewer::instance(), v);
        QCOMPARE(v->browser()->documentTitle(), QStringLiteral("Receive process"));
        showHelp(4711);  // a topic that does not exist falls back to the contents
        QCOMPARE(v->browser()->source(), QUrl("qrc:/help/index.html"));
        // Back, Forward and Contents carry icons even without an icon theme.
        auto* bar = v->findChild<QToolBar*>(QStringLiteral("helpBar"));
        QVERIFY(bar);
        QStringList withIcons;
        for (QAction* a : bar->actions())
            if (!a->icon().pixmap(16, 16).isNull()) withIcons << a->text();
        QCOMPARE(withIcons, (QStringList{"Back", "Forward", "Contents"}));
        v->close();
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
