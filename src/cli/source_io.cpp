#include "source_io.h"

#include <optional>

#include "driver/compiler.h"
#include "editor/document.h"
#include "source/sourcefile.h"

namespace sf::cli {

std::unique_ptr<SourceRecord> loadSource(const std::filesystem::path& path, Io& io) {
    const int before = io.prompter.messageCount();
    auto result = readSourceFile(path, &io.prompter);
    if (!result) {
        // The reader shows its reason; make sure one is always printed.
        throw Failure(io.prompter.messageCount() == before ? result.error().text : std::string());
    }
    return result.take();
}

void saveSource(const std::filesystem::path& path, const SourceRecord& record, Io& io) {
    // The reason goes to standard error; a source saved without its driver
    // still fails the command.
    if (saveSourceAndDriver(path, record, &io.prompter) != SaveResult::Saved)
        throw Failure(std::string());
}

namespace {

constexpr int kModuleRow = 105;  // "Module %d", the head row of each module

std::string moduleCountText(const SourceRecord& record) {
    return " (Number of modules is " + std::to_string(record.s16(rec::kModuleCount)) + ")";
}

}  // namespace

void requireTreeRow(const SourceRecord& record, const SettingRef& ref, std::string_view text) {
    if (hasTreeRow(record, ref)) return;
    // The REF itself was checked against a source of sixteen modules, so
    // only its module can be missing here.
    throw UsageError("REF \"" + std::string(text) + "\" addresses module " +
                     std::to_string(ref.index1) + ", which this source does not have" +
                     moduleCountText(record));
}

void requireModuleInUse(const SourceRecord& record, int module) {
    if (hasTreeRow(record, makeRef(kModuleRow, module))) return;
    throw UsageError("module " + std::to_string(module) + " is not in this source" +
                     moduleCountText(record));
}

void afterValueChanged(SourceRecord& record, const SettingRef& ref) {
    if (ref.id >= 175 && ref.id <= 192 && ref.index1 >= 0 && ref.index1 < rec::kModules)
        normaliseStructure(record, ref.index1);
}

}  // namespace sf::cli
