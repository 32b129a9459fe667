#include "source_io.h"

#include "driver/compiler.h"
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
    // Save builds the file image first, so a source without a named module is
    // refused with that reason before the compiler is asked.
    if (!buildFileImage(record, &io.prompter)) throw Failure(kMsgErrorWhileSaving);
    const CompileResult compiled = compileDriver(record, &io.prompter);
    if (!compiled.ok()) throw Failure(kMsgErrorWhileSaving);
    if (!saveSourceFile(path, record, &compiled.image, &io.prompter)) throw Failure(std::string());
}

void afterValueChanged(SourceRecord& record, const SettingRef& ref) {
    if (ref.id >= 175 && ref.id <= 192 && ref.index1 >= 0 && ref.index1 < rec::kModules)
        normaliseStructure(record, ref.index1);
}

}  // namespace sf::cli
