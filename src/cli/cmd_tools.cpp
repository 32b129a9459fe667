// The driver author's tools: check, diff, export, import.
#include <map>
#include <string>

#include "cli.h"
#include "driver/library.h"
#include "framework/cp1252.h"
#include "framework/exception.h"
#include "framework/fileio.h"
#include "source/sourcefile.h"
#include "source_io.h"
#include "tools/drivercheck.h"
#include "tools/driverdiff.h"
#include "tools/settingbytes.h"
#include "tools/textform.h"

namespace sf::cli {

namespace {

constexpr int kExitWarnings = 3;
constexpr int kExitErrors = 4;
constexpr int kExitDifferent = 1;

std::string oneLine(std::string text) {
    for (auto& ch : text)
        if (ch == '\t' || ch == '\n' || ch == '\r') ch = ' ';
    return text;
}

}  // namespace

int cmdCheck(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {"root"});
    if (!o.flags.empty()) throw UsageError("--" + o.flags.front() + " needs a value");
    expectArgs(o.positional, 1, static_cast<std::size_t>(-1), "check");

    std::vector<std::filesystem::path> files(o.positional.begin(), o.positional.end());
    std::vector<std::filesystem::path> library;
    for (const auto& [name, root] : o.values) {
        (void)name;
        const auto found = scanDriverSources(root);
        library.insert(library.end(), found.begin(), found.end());
    }
    bool errors = false, warnings = false;
    std::string text;
    for (const FileFindings& file : checkDriverFiles(files, library)) {
        const std::string name = file.path.string();
        if (!file.readable) {
            errors = true;
            text += name + "\terror\t-\t" + oneLine(file.unreadable) + '\n';
            continue;
        }
        for (const Finding& f : file.findings) {
            (f.severity == Severity::Error ? errors : warnings) = true;
            text += name + '\t' + severityName(f.severity) + '\t' + refText(f.ref) + '\t' +
                    oneLine(f.text) + '\n';
        }
    }
    io.out << text;
    return errors ? kExitErrors : warnings ? kExitWarnings : kExitOk;
}

int cmdDiff(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 2, 2, "diff");
    const auto a = loadSource(o.positional[0], io);
    const auto b = loadSource(o.positional[1], io);
    const auto rows = diffSources(*a, *b);
    std::string text;
    for (const DiffRow& row : rows)
        text += row.place + '\t' + cp1252ToEscapedUtf8(row.path) + '\t' +
                cp1252ToEscapedUtf8(row.valueA) + '\t' + cp1252ToEscapedUtf8(row.valueB) + '\n';
    io.out << text;
    return rows.empty() ? kExitOk : kExitDifferent;
}

int cmdExport(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 1, 2, "export");
    const auto record = loadSource(o.positional[0], io);
    std::string why;
    const auto text = exportSourceText(*record, &why);
    if (!text) throw Failure(why);
    if (o.positional.size() == 1) {
        io.out << *text;
        return kExitOk;
    }
    writeFileAtomic(
        o.positional[1],
        ConstByteSpan(reinterpret_cast<const std::uint8_t*>(text->data()), text->size()));
    return kExitOk;
}

int cmdImport(const Args& args, Io& io) {
    const Options o = splitOptions(args);
    checkOptions(o, {});
    expectArgs(o.positional, 2, 2, "import");
    const auto bytes = readWholeFile(o.positional[0]);
    std::unique_ptr<SourceRecord> record;
    try {
        record = importSourceText(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const SourceTextError& e) {
        // Nothing is written for a text that cannot be read.
        throw Failure(o.positional[0] +
                      (e.line() > 0 ? ":" + std::to_string(e.line()) : std::string()) + ": " +
                      e.message());
    }
    saveSource(o.positional[1], *record, io);
    return kExitOk;
}

}  // namespace sf::cli
