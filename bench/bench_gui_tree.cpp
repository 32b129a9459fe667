// The settings tree on the largest sources: building the whole tree of a
// 16-module driver, and the update after one typed value (the row and its
// dependants redrawn, every enabled state evaluated again, the checkpoint).
#include <benchmark/benchmark.h>

#include <QLineEdit>
#include <QTreeView>
#include <memory>
#include <string>

#include "editor/document.h"
#include "source/sourceview.h"
#include "source/valuetext.h"
#include "support/guimain.h"

namespace {

std::unique_ptr<sf::SourceDoc> sixteenModules() {
    auto r = sf::newSource();
    sf::parseValue(*r, sf::makeRef(103), "16");
    for (int m = 0; m < 16; ++m) {
        sf::parseValue(*r, sf::makeRef(107, m), "Module " + std::to_string(m + 1));
        sf::applyChoice(*r, sf::makeRef(108, m), 70);  // dump and names: most rows enabled
        sf::parseValue(*r, sf::makeRef(256, m), "16");
    }
    return std::make_unique<sf::SourceDoc>(std::move(r));
}

void BM_BuildTree16Modules(benchmark::State& state) {
    auto doc = sixteenModules();
    sf::gui::SourceView view(*doc, {});
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        view.build(sf::makeRef(262, 15, 15));
        view.repaint();  // lay out and draw what is visible
    }
    state.counters["rows"] = static_cast<double>(sf::buildTreeRows(doc->working()).size());
}
BENCHMARK(BM_BuildTree16Modules)->Unit(benchmark::kMillisecond);

void BM_UpdateAfterOneEdit(benchmark::State& state) {
    auto doc = sixteenModules();
    sf::gui::SourceView view(*doc, {});
    view.resize(1000, 700);
    view.show();
    view.selectRef(sf::makeRef(107, 8));
    QApplication::processEvents();
    int i = 0;
    for (auto _ : state) {
        // A module name: its row, the module row and the enabled states.
        view.editValue(sf::makeRef(107, 8), (++i & 1) != 0 ? QStringLiteral("Strings") : QStringLiteral("Brass"));
        QApplication::processEvents();  // draws what the edit marked as changed
    }
}
BENCHMARK(BM_UpdateAfterOneEdit)->Unit(benchmark::kMicrosecond);

void BM_FilterOneWord(benchmark::State& state) {
    auto doc = sixteenModules();
    sf::gui::SourceView view(*doc, {});
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    int i = 0;
    for (auto _ : state) {
        view.filterField()->setText((++i & 1) != 0 ? QStringLiteral("checksum") : QStringLiteral("bank code"));
        emit view.filterField()->returnPressed();
        view.repaint();
    }
}
BENCHMARK(BM_FilterOneWord)->Unit(benchmark::kMillisecond);

// A window resized with every row of the tree expanded: the columns are
// fitted to the rows the tree shows, which must not mean measuring them all
// again at every step.
void BM_ResizeExpanded(benchmark::State& state) {
    auto doc = sixteenModules();
    sf::gui::SourceView view(*doc, {});
    view.resize(1000, 700);
    view.show();
    view.tree()->expandAll();
    QApplication::processEvents();
    int i = 0;
    for (auto _ : state) {
        view.resize(1000 + (++i & 1) * 20, 700);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_ResizeExpanded)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return sf::bench::runGuiBenchmarks(argc, argv); }
