// A second yardstick for bench/startup.sh: the minimal program with text in
// it, a menu and a three-column tree of thirty rows, as much as the editor's
// first window shows. It measures what text alone costs at start (the font
// configuration read, fonts loaded, texts shaped), which the empty tree of
// the first yardstick never pays.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTreeWidget>

#include "../support/shownprobe.h"

SF_SHOWN_PROBE(true)

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Open..."));
    auto* tree = new QTreeWidget;
    tree->setHeaderLabels({QStringLiteral("Parameter"), QStringLiteral("Value"),
                           QStringLiteral("Comment")});
    for (int i = 0; i < 30; ++i)
        new QTreeWidgetItem(tree, {QStringLiteral("Module %1").arg(i + 1),
                                   QStringLiteral("Module %1").arg(i),
                                   QStringLiteral("One memory module of the device.")});
    window.setCentralWidget(tree);
    window.resize(800, 600);
    window.show();
    return app.exec();
}
