// The driver selection list and the search across the library behind it:
// an empty library, a cancelled search, the window's place. (A search run
// from a source window to the driver it opens: the tools test.)
#include "driver/driversearch.h"

#include <QListView>
#include <QMainWindow>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <fstream>

#include "driver/driverlistwindow.h"
#include "framework/prompter.h"
#include "source/sourcefile.h"
#include "support/temp_dir.h"
#include "ui/qtprompter.h"

using namespace sf;
using namespace sf::gui;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kManufacturer = 174;  // "Manufacturer ID" in the header

// A driver of manufacturer 3, which every search here looks for.
void writeDriver(const fs::path& p) {
    auto r = newSource();
    r->setU16(kManufacturer, 3);
    auto image = buildFileImage(*r);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(image->data()),
               static_cast<std::streamsize>(image->size()));
}

DriverSearchRequest request(const fs::path& root) {
    DriverSearchRequest q;
    q.current = newSource();
    q.current->setU16(kManufacturer, 3);
    q.ref = makeRef(10);  // "Manufacturer ID"
    q.mode = SearchMode::SameValue;
    q.root = root;
    return q;
}

}  // namespace

class DriverSearchTest : public QObject {
    Q_OBJECT
    QMainWindow* main_ = nullptr;
    RecordingPrompter prompter_;

  private slots:
    void init() {
        main_ = new QMainWindow;
        main_->show();
        prompter_ = {};
        setPrompter(&prompter_);
    }
    void cleanup() {
        setPrompter(nullptr);
        DriverListWindow::setOpenHandler({});
        delete main_;
    }

    void emptyLibraryWarnsAndAsksForThePreferences() {
        testsupport::TempDir lib;
        bool preferences = false;
        auto* s = DriverSearch::start(request(lib.path()), main_, main_->statusBar(),
                                      [&] { preferences = true; });
        QVERIFY(!s);
        QVERIFY(preferences);
        QCOMPARE(prompter_.messages.size(), std::size_t(1));
        QVERIFY(DriverListWindow::instance());
        QCOMPARE(DriverListWindow::instance()->windowTitle(),
                 QString("Driver List (0 items out of 0)"));
    }

    void cancelStopsTheSearchAndKeepsWhatWasFound() {
        testsupport::TempDir lib;
        for (int i = 0; i < 300; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "D%d.D", 1000 + i);
            writeDriver(lib / name);
        }
        QPointer<DriverSearch> s =
            DriverSearch::start(request(lib.path()), main_, main_->statusBar());
        QVERIFY(s);
        QVERIFY(main_->statusBar()->findChild<QProgressBar*>("searchProgress"));
        QCOMPARE(main_->statusBar()->findChild<QProgressBar*>("searchProgress")->maximum(), 300);
        QSignalSpy done(s.data(), &DriverSearch::finished);
        s->cancel();
        QVERIFY(done.wait(5000));
        const int lines = done[0][0].toInt(), examined = done[0][1].toInt();
        const bool cancelled = done[0][2].toBool();
        QVERIFY(examined <= 300);
        QVERIFY(cancelled || examined == 300);
        QCOMPARE(int(DriverListWindow::instance()->list().size()), lines);
        QCOMPARE(lines, examined);  // every driver examined matched
        // The progress bar and its button are out of sight again.
        QVERIFY(!main_->statusBar()->findChild<QProgressBar*>("searchProgress")->isVisible());
    }

    void closedWindowReopensWhereItWas() {
        DriverListWindow* w = DriverListWindow::showList(main_);
        QCOMPARE(w->windowTitle(), QString("Driver List"));
        QCOMPARE(DriverListWindow::showList(main_), w);  // one at most
        w->setGeometry(120, 130, 300, 200);
        w->close();
        QTRY_VERIFY(!DriverListWindow::instance());
        w = DriverListWindow::showList(main_);
        QCOMPARE(w->geometry(), QRect(120, 130, 300, 200));
        w->close();
    }
};

QTEST_MAIN(DriverSearchTest)
#include "driversearch_test.moc"
