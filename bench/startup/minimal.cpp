// The yardstick of bench/startup.sh: the least a Qt program does to show a
// main window with an empty tree in it, ended by the same probe. With
// --editor-size its window takes the size and place the editor's main window
// takes at a first start (most of the screen, centred), so that a larger
// window, which costs more to fill and to hand to the X server, can be told
// apart from what the editor itself adds.
#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <algorithm>
#include <cstring>

#include "../support/shownprobe.h"

SF_SHOWN_PROBE(false)

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QTreeView);
    window.resize(800, 600);
    if (argc > 1 && std::strcmp(argv[1], "--editor-size") == 0) {
        // As SysforgeApp does when there is no stored layout.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect avail = screen->availableGeometry();
            const QSize size(std::min(1280, avail.width() * 17 / 20),
                             std::min(900, avail.height() * 17 / 20));
            window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, avail));
        }
    }
    window.show();
    return app.exec();
}
