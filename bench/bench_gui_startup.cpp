// Start-up of the editor: from nothing to a shown main window with a
// 16-module driver source open in it (settings and layout read, the window
// and its menus built, the file read, its settings tree built and drawn).
// Runs on the offscreen platform unless another one is chosen.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTreeView>
#include <memory>
#include <string>

#include "editor/document.h"
#include "app/frame.h"
#include "app/sysforgeapp.h"
#include "framework/prompter.h"
#include "source/sourceview.h"
#include "source/valuetext.h"
#include "support/guimain.h"

namespace {

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

// A 16-module source on disk, written the way the editor saves.
QString sixteenModuleFile() {
    const QString path = scratch().filePath("sixteen.d");
    if (QFile::exists(path)) return path;
    auto r = sf::newSource();
    sf::parseValue(*r, sf::makeRef(103), "16");
    for (int m = 0; m < 16; ++m) {
        sf::parseValue(*r, sf::makeRef(107, m), "Module " + std::to_string(m + 1));
        sf::applyChoice(*r, sf::makeRef(108, m), 70);
        sf::parseValue(*r, sf::makeRef(256, m), "16");
    }
    sf::SourceDoc doc(std::move(r));
    sf::RecordingPrompter quiet;
    doc.save(path.toStdString(), &quiet);
    return path;
}

void BM_StartupWith16ModuleSource(benchmark::State& state) {
    const QString file = sixteenModuleFile();
    int n = 0;
    for (auto _ : state) {
        const QString config = scratch().filePath(QString("config%1").arg(n++));
        auto app =
            std::make_unique<sf::gui::SysforgeApp>(sf::gui::SysforgeApp::Options{config, {}});
        sf::gui::SFFrameWindow* frame = app->frame();
        frame->show();
        frame->openFiles({file});
        frame->repaint();
        QApplication::processEvents();
        if (!frame->activeSourceView() ||
            frame->activeSourceView()->tree()->model()->rowCount() == 0)
            state.SkipWithError("the source did not open");
        state.PauseTiming();
        app.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupWith16ModuleSource)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return sf::bench::runGuiBenchmarks(argc, argv);
}
