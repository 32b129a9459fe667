// Commands around the driver library: search, rom-names, list-driver.
#include <string>

#include "cli.h"
#include "driver/library.h"
#include "driver/listdriver.h"
#include "framework/cp1252.h"
#include "framework/fileio.h"
#include "source/romnames.h"
#include "source/search.h"
#include "source_io.h"

namespace sf::cli {

namespace {

SearchMode searchMode(const std::string& word) {
    if (word == "same") return SearchMode::SameValue;
    if (word == "different") return SearchMode::DifferentValue;
    if (word == "non-empty") return SearchMode::NonEmpty;
    throw UsageError("unknown search \"" + word + "\" (same, different or non-empty)");
}

}  // namespace

int cmdSearch(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 4, 4, "search");
    const SettingRef ref = parseRef(o.positional[2]);
    const SearchMode mode = searchMode(o.positional[3]);
    if (!searchEnabled(mode, ref.item))
        throw UsageError("this search is not offered for setting " + std::to_string(ref.id));

    const auto current = loadSource(o.positional[1], io);
    requireTreeRow(*current, ref, o.positional[2]);
    // The files are read while the walk finds them.
    const std::filesystem::path root = o.positional[0];
    SearchResult result = searchDrivers(
        *current, ref, mode, [&root](const auto& found) { scanDriverSources(root, found); });
    warnWhenNoDriver(static_cast<std::size_t>(result.total), io.prompter);

    // The lines in the order of the driver selection list.
    std::vector<std::string> paths;
    paths.reserve(result.matches.size());
    for (auto& m : result.matches) paths.push_back(std::move(m.path));
    std::string text;
    for (const std::size_t i : driverListOrder(paths))
        text.append(paths[i])
            .append(1, '\t')
            .append(std::to_string(result.matches[i].ref.index1))
            .append(1, '\n');
    io.out << text << driverListCaption(static_cast<int>(paths.size()), result.examined) << '\n';
    return kExitOk;
}

int cmdRomNames(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 3, 4, "rom-names");
    const int module =
        static_cast<int>(parseInteger(o.positional[1], 0, rec::kModules - 1, "MODULE"));
    const int subBank =
        static_cast<int>(parseInteger(o.positional[2], 0, rec::kSubBanks - 1, "SUBBANK"));

    auto record = loadSource(o.positional[0], io);
    requireModuleInUse(*record, module);
    const RomNamesShape shape = romNamesShape(*record, module);

    if (o.positional.size() == 3) {
        const auto& block = record->block(module, rec::kSlotRomNames0 + subBank);
        const ConstByteSpan bytes = block ? ConstByteSpan(*block) : ConstByteSpan();
        io.out << cp1252ToUtf8(romNamesText(bytes, shape));
        return kExitOk;
    }

    // Names stored outside the sub-banks in use would be dropped by the save
    // without a word; refuse instead of reporting a success.
    if (subBank >= walkedSubBankCount(*record, module))
        throw Failure("Sub-bank " + std::to_string(subBank) +
                      " is not in use (Number of sub-banks is " +
                      std::to_string(walkedSubBankCount(*record, module)) + ").");

    const auto bytes = readWholeFile(o.positional[3]);
    // The names reader takes lines ended by LF alone as well as by CR LF.
    const std::string text = utf8ToCp1252(std::string(bytes.begin(), bytes.end()));
    // As the dialog's OK: the check report and its question go to standard
    // error, and the prompter answers Yes.
    PatchNameEditor editor(*record, module, subBank, io.prompter);
    editor.text = text;
    if (!editor.ok().close || !editor.apply(*record)) throw Failure(std::string());
    saveSource(o.positional[0], *record, io);
    return kExitOk;
}

int cmdListDriver(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {"name", "name-length", "columns", "rows", "bank"});
    if (!o.flags.empty()) throw UsageError("--" + o.flags.front() + " needs a value");
    expectArgs(o.positional, 1, 1, "list-driver");

    ListDriverValues v;
    for (const auto& [name, value] : o.values) {
        if (name == "name") {
            v.driverName = utf8ToCp1252(value);
        } else if (name == "name-length") {
            v.patchNameLength = value;
        } else if (name == "columns") {
            v.columns = value;
        } else if (name == "rows") {
            v.rows = value;
        } else {  // bank: ROW:NAME:SELECT:FIRST; the name may itself hold colons
            const auto first = value.find(':');
            const auto last = value.rfind(':');
            const auto middle = last == std::string::npos || last == 0 ? std::string::npos
                                                                       : value.rfind(':', last - 1);
            if (first == std::string::npos || middle == std::string::npos || middle <= first)
                throw UsageError("--bank must be ROW:NAME:SELECT:FIRST: \"" + value + "\"");
            const int row = static_cast<int>(
                parseInteger(value.substr(0, first), 0, kListDriverRows - 1, "bank ROW"));
            auto& bank = v.banks[static_cast<std::size_t>(row)];
            bank.name = utf8ToCp1252(value.substr(first + 1, middle - first - 1));
            bank.bankSelect = value.substr(middle + 1, last - middle - 1);
            bank.firstProgram = value.substr(last + 1);
        }
    }

    const auto record = generateListDriver(v);
    if (!record) {
        throw Failure(v.driverName.empty() ? "Nothing created: the driver name is empty."
                                           : "Nothing created: the bank name of row 0 is empty.");
    }
    saveSource(o.positional[0], *record, io);
    return kExitOk;
}

}  // namespace sf::cli
