// The macro editor builder on a full list: 1000 macros with one parameter
// each (about 48 KB, near the 64 KB block limit). Opening the dialog (the
// copy of the module's data, the list's model, the first layout and paint)
// and adding one parameter there (the block edit and the row inserted).
#include <benchmark/benchmark.h>

#include <QTreeView>

#include "patchtools/listsupport.h"
#include "patchtools/macrodialog.h"
#include "support/guimain.h"

namespace {

std::unique_ptr<sf::SourceRecord> fullMacroList() {
    auto r = sf::newSource();
    sf::MacroEditor e{sf::MacroData{}};
    for (int i = 0; i < sf::macro_list::kMaxMacros; ++i) e.addParameter(*e.addMacro(), 0);
    const sf::MacroData d = e.takeData();
    sf::storeMacroEdit(*r, 0, &d);
    return r;
}

void BM_OpenMacroDialog1000(benchmark::State& state) {
    auto r = fullMacroList();
    for (auto _ : state) {
        sf::MacroEditor editor(sf::MacroData::fromModule(*r, 0));
        sf::gui::MacroEditorDialog dialog(editor, nullptr);
        dialog.show();
        dialog.list()->repaint();
        QApplication::processEvents();
    }
    state.counters["bytes"] = static_cast<double>(r->block(0, sf::rec::kSlotMacros)->size());
}
BENCHMARK(BM_OpenMacroDialog1000)->Unit(benchmark::kMillisecond);

void BM_AddParameterTo1000(benchmark::State& state) {
    auto r = fullMacroList();
    sf::MacroEditor editor(sf::MacroData::fromModule(*r, 0));
    sf::gui::MacroEditorDialog dialog(editor, nullptr);
    dialog.show();
    QApplication::processEvents();
    for (auto _ : state) {
        // Into the middle macro, so that half of the table moves.
        auto added = dialog.model()->addParameter({500, -1}, 0);
        dialog.select(added);
        dialog.list()->repaint();
        state.PauseTiming();
        dialog.model()->remove(*added);  // keeps the block below its limit
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddParameterTo1000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return sf::bench::runGuiBenchmarks(argc, argv);
}
