#include "editor/document.h"

#include "driver/compiler.h"
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

void SourceDoc::updateModified() { modified_ = !sameRecord(*working_, *savedBase_); }

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
    // Compile first, so that a driver that cannot be compiled leaves every
    // file as it was. Without a named module the source file writer refuses
    // the save with its own message, which comes before anything the
    // compiler would say.
    std::optional<CompileResult> compiled;
    if (validModuleCount(*working_) > 0) {
        compiled = compileDriver(*working_, prompter);
        if (!compiled->ok()) {
            if (prompter) prompter->message(kMsgErrorWhileSaving, MessageIcon::Stop);
            return false;
        }
    }
    if (!saveSourceFile(path, *working_, compiled ? &compiled->image : nullptr, prompter))
        return false;
    savedBase_ = copyRecord(*working_);
    modified_ = false;
    return true;
}

}  // namespace sf
