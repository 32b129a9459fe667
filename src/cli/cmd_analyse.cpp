// analyse: how a module of a driver source cuts a dump.
#include "cli.h"
#include "framework/fileio.h"
#include "instrument/analysis.h"
#include "instrument/report.h"
#include "source_io.h"

namespace sf::cli {

namespace {
constexpr int kExitFindings = 3;
}

int cmdAnalyse(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {"json"});
    if (!o.values.empty()) throw UsageError("--json takes no value");
    expectArgs(o.positional, 3, 3, "analyse");
    const int module =
        static_cast<int>(parseInteger(o.positional[1], 0, rec::kModules - 1, "MODULE"));
    const auto source = loadSource(o.positional[0], io);
    requireModuleInUse(*source, module);
    const auto dump = readWholeFile(o.positional[2]);
    const DumpAnalysis a = analyseDump(*source, module, dump);
    io.out << (o.flags.empty() ? analysisText(a, *source) : analysisJson(a, *source));
    return a.clean() ? kExitOk : kExitFindings;
}

}  // namespace sf::cli
