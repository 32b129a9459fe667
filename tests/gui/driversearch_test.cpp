// The driver selection list filled by the searches across the library, and
// the lines opened from it.
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
constexpr int kManufacturerSetting = 10;

void writeDriver(const fs::path& p, int manufacturer, const char* moduleName2 = "Voice") {
    auto r = newSource();
    r->setU16(rec::kModuleCount, 3);
    r->setText(rec::moduleBase(0), rec::kModNameSize, "Perf");
    r->setText(rec::moduleBase(1), rec::kModNameSize, "Multi");
    r->setText(rec::moduleBase(2), rec::kModNameSize, moduleName2);
    r->setU16(kManufacturer, static_cast<std::uint16_t>(manufacturer));
    auto image = buildFileImage(*r);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(image->data()),
               static_cast<std::streamsize>(image->size()));
}

}  // namespace

class DriverSearchTest : public QObject {
    Q_OBJECT
    QMainWindow* main_ = nullptr;
    RecordingPrompter prompter_;

    DriverSearchRequest request(const fs::path& root, SettingRef ref, SearchMode mode,
                                int manufacturer = 3) {
        DriverSearchRequest q;
        q.current = newSource();
        q.current->setU16(kManufacturer, static_cast<std::uint16_t>(manufacturer));
        q.current->setText(rec::moduleBase(0), rec::kModNameSize, "Drums");
        q.ref = ref;
        q.mode = mode;
        q.root = root;
        return q;
    }
    // Runs a search to its end; answers the window.
    DriverListWindow* run(DriverSearchRequest q) {
        QPointer<DriverSearch> s = DriverSearch::start(std::move(q), main_, main_->statusBar());
        if (s) {
            QSignalSpy done(s.data(), &DriverSearch::finished);
            if (!done.wait(5000)) return nullptr;
        }
        return DriverListWindow::instance();
    }
    QStringList lines(DriverListWindow* w) {
        QStringList out;
        auto* m = w->listView()->model();
        for (int i = 0; i < m->rowCount(); ++i) out << m->index(i, 0).data().toString();
        return out;
    }

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

    void sameValueSearchFillsTheSortedListWithItsCaption() {
        // The order and the caption are the core's; here: the window shows
        // them once the search thread is done.
        testsupport::TempDir lib;
        writeDriver(lib / "b/MSYNTH.D", 3);
        writeDriver(lib / "a/ZETA.D", 3);
        writeDriver(lib / "a/OTHER.D", 4);
        writeDriver(lib / "c/ALPHA.D", 3);
        writeDriver(lib / "c/BETA.D", 5);
        DriverListWindow* w =
            run(request(lib.path(), makeRef(kManufacturerSetting), SearchMode::SameValue));
        QVERIFY(w);
        QVERIFY(w->isVisible());
        const std::string a = (lib / "a").string(), b = (lib / "b").string(),
                          c = (lib / "c").string();
        QCOMPARE(lines(w), QStringList({QString::fromStdString("ALPHA.D (" + c + ")"),
                                        QString::fromStdString("MSYNTH.D (" + b + ")"),
                                        QString::fromStdString("ZETA.D (" + a + ")")}));
        QCOMPARE(w->windowTitle(), QString("Driver List (3 items out of 5)"));
        // The progress bar and its button are out of sight again.
        auto* bar = main_->statusBar()->findChild<QProgressBar*>("searchProgress");
        QVERIFY(bar && !bar->isVisible());
    }

    void emptyLibraryWarnsAndAsksForThePreferences() {
        testsupport::TempDir lib;
        bool preferences = false;
        auto* s = DriverSearch::start(
            request(lib.path(), makeRef(kManufacturerSetting), SearchMode::SameValue), main_,
            main_->statusBar(), [&] { preferences = true; });
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
            writeDriver(lib / name, 3);
        }
        QPointer<DriverSearch> s = DriverSearch::start(
            request(lib.path(), makeRef(kManufacturerSetting), SearchMode::SameValue), main_,
            main_->statusBar());
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
