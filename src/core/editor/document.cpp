#include "editor/document.h"

#include "driver/compiler.h"
#include "driver/compiler_limits.h"
#include "framework/prompter.h"

namespace sf {

SourceDoc::SourceDoc(std::unique_ptr<SourceRecord> record)
    : working_(record ? std::move(record) : newSource()),
      undoBase_(copyRecord(*working_)),
      savedBase_(copyRecord(*working_)) {}

namespace {

std::unique_ptr<SourceRecord> readOrThrow(const std::filesystem::path& path, Prompter* prompter) {
    SourceReadResult r = readSourceFile(path, prompter);
    if (!r) throw SourceOpenError(r.error());
    return r.take();
}

}  // namespace

SourceDoc::SourceDoc(const std::filesystem::path& path, Prompter* prompter)
    : SourceDoc(readOrThrow(path, prompter)) {}

std::unique_ptr<SourceDoc> SourceDoc::open(const std::filesystem::path& path, Prompter* prompter) {
    SourceReadResult r = readSourceFile(path, prompter);
    if (!r) return nullptr;
    return std::make_unique<SourceDoc>(r.take());
}

void SourceDoc::updateModified() {
    modified_ = !sameRecord(*working_, *savedBase_);
}

void SourceDoc::checkpoint() {
    if (!sameRecord(*working_, *undoBase_)) {
        // A new change makes the redo steps meaningless.
        redo_.clear();
        undo_.push(std::move(undoBase_));
        undoBase_ = copyRecord(*working_);
    }
    updateModified();
}

std::unique_ptr<SourceRecord> SourceDoc::restore(std::unique_ptr<SourceRecord> state,
                                                 std::optional<SettingRef>& row) {
    // The working record keeps its address: editors may hold on to it.
    auto inverse = std::make_unique<SourceRecord>(std::move(*working_));
    *working_ = std::move(*state);
    row = observer_ ? observer_->currentRow() : std::nullopt;
    undoBase_ = copyRecord(*working_);
    updateModified();
    return inverse;
}

bool SourceDoc::undo() {
    std::unique_ptr<SourceRecord> state = undo_.pop();
    if (!state) return false;
    std::optional<SettingRef> row;
    redo_.push(restore(std::move(state), row));
    // The view hears of it once both lists are up to date, so that it can
    // enable its commands from them.
    if (observer_) observer_->recordReplaced(row);
    return true;
}

bool SourceDoc::redo() {
    std::unique_ptr<SourceRecord> state = redo_.pop();
    if (!state) return false;
    std::optional<SettingRef> row;
    // Pushed as a step that comes from a redo: the rest of the redo list stays.
    undo_.push(restore(std::move(state), row));
    if (observer_) observer_->recordReplaced(row);
    return true;
}

bool SourceDoc::save(const std::filesystem::path& path, Prompter* prompter) {
    if (saveSourceAndDriver(path, *working_, prompter) == SaveResult::Failed) return false;
    savedBase_ = copyRecord(*working_);
    modified_ = false;
    return true;
}

SaveResult saveSourceAndDriver(const std::filesystem::path& path, const SourceRecord& record,
                               Prompter* prompter) {
    // Compile first, so that a driver that cannot be compiled is known
    // before any file moves. Without a named module the source file writer
    // refuses the save with its own message.
    std::optional<CompileResult> compiled;
    if (validModuleCount(record) > 0) compiled = compileDriver(record);
    const bool driverBuilt = !compiled || compiled->ok();
    if (compiled && !driverBuilt && compiled->error != CompileError::TooLarge) {
        compileDriver(record, prompter);  // says why
        if (prompter) prompter->message(kMsgErrorWhileSaving, MessageIcon::Stop);
        return SaveResult::Failed;
    }
    // A driver too large is no reason to lose the source, which its own
    // file can hold.
    const std::vector<std::uint8_t>* image = compiled && driverBuilt ? &compiled->image : nullptr;
    if (!saveSourceFile(path, record, image, prompter)) return SaveResult::Failed;
    if (driverBuilt) return SaveResult::Saved;
    if (prompter) {
        std::string text(kDriverTooLargeMessage);
        if (const auto o = driverOverflow(record)) text += "\n" + overflowText(*o);
        const std::filesystem::path source = sourceFilePath(path);
        std::filesystem::path driver = source;
        driver.replace_extension(".dev");
        text += "\nThe source " + source.filename().string() + " was saved; the driver file " +
                driver.filename().string() + " was not written.";
        prompter->message(text, MessageIcon::Exclamation);
    }
    return SaveResult::SourceOnly;
}

}  // namespace sf
