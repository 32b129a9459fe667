// The yardstick of bench/startup.sh: the least a Qt program does to show a
// main window with an empty tree in it, ended by the same probe.
#include <QApplication>
#include <QMainWindow>
#include <QTreeView>

#include "../support/shownprobe.h"

SF_SHOWN_PROBE(false)

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QTreeView);
    window.resize(800, 600);
    window.show();
    return app.exec();
}
