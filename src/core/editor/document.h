// The driver source document: the working record that every editor changes in
// place, the copy that undo checkpoints compare against, the copy as of the
// last load or save (for the modified state), and the undo and redo lists.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

#include "source/record.h"
#include "source/schema.h"
#include "source/sourcefile.h"
#include "source/undo.h"

namespace sf {

class Prompter;

// The view's side of undo and redo: the row to keep selected, and the news
// that the whole record was replaced (the settings tree then rebuilds and
// selects that row again when it still exists).
class SourceDocObserver {
  public:
    virtual ~SourceDocObserver() = default;
    virtual std::optional<SettingRef> currentRow() const = 0;
    virtual void recordReplaced(std::optional<SettingRef> row) = 0;
};

// Raised by the path constructor when the file cannot be read.
class SourceOpenError : public std::runtime_error {
  public:
    explicit SourceOpenError(SourceReadError e)
        : std::runtime_error(e.text), error_(std::move(e)) {}
    const SourceReadError& error() const { return error_; }

  private:
    SourceReadError error_;
};

// How a save of a source together with its driver went.
enum class SaveResult {
    Failed,      // nothing written: the reason was shown
    Saved,       // the source and its driver
    SourceOnly,  // the source; its driver could not be built and was not written
};

// Compiles `record` and saves it to sourceFilePath(`path`) with the driver
// beside it (source/sourcefile.h). A source grown past what a driver can
// hold is still saved, with its backup: the ".dev" stays as it was, and
// `prompter` is told which block no reference can reach and that the driver
// file was not written. Any other failure leaves every file as it was.
SaveResult saveSourceAndDriver(const std::filesystem::path& path, const SourceRecord& record,
                               Prompter* prompter);

class SourceDoc {
  public:
    // Wraps a record (File New, the list driver generator); unmodified.
    explicit SourceDoc(std::unique_ptr<SourceRecord> record);
    // Reads a source file; the reason of a failure is shown through
    // `prompter` (when given) and raised as SourceOpenError.
    explicit SourceDoc(const std::filesystem::path& path, Prompter* prompter = nullptr);
    // The same without the exception: null when the file cannot be read.
    static std::unique_ptr<SourceDoc> open(const std::filesystem::path& path,
                                           Prompter* prompter = nullptr);

    SourceDoc(const SourceDoc&) = delete;
    SourceDoc& operator=(const SourceDoc&) = delete;

    // The record the user sees and edits. Its address stays the same for the
    // document's life; undo and redo replace its contents.
    SourceRecord& working() { return *working_; }
    const SourceRecord& working() const { return *working_; }
    const SourceRecord& undoBase() const { return *undoBase_; }
    const SourceRecord& savedBase() const { return *savedBase_; }

    bool isModified() const { return modified_; }

    // To be called after every change of the working record: records an undo
    // step when the record differs from the previous checkpoint, and updates
    // the modified state.
    void checkpoint();

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Answer false when there was nothing to undo or redo.
    bool undo();
    bool redo();

    // Compiles the working record and writes the source file to
    // sourceFilePath(path) (source/sourcefile.h: the last extension replaced
    // by "d"), the previous one kept as backup, with the compiled driver
    // beside it. The document's file name is then sourceFilePath(path). On
    // failure (a write-protected file among them) the reason and "Error
    // while saving!" are shown and nothing changes. A source whose driver
    // cannot be built is saved alone and counts as saved
    // (saveSourceAndDriver).
    bool save(const std::filesystem::path& path, Prompter* prompter);

    void setObserver(SourceDocObserver* observer) { observer_ = observer; }

    const UndoList& undoList() const { return undo_; }
    const UndoList& redoList() const { return redo_; }
    // Bytes held by both lists.
    std::size_t undoMemoryUsage() const { return undo_.memoryUsage() + redo_.memoryUsage(); }

  private:
    // Puts `state` in place of the working record; answers the previous
    // working record (the inverse memento) and the row the view had.
    std::unique_ptr<SourceRecord> restore(std::unique_ptr<SourceRecord> state,
                                          std::optional<SettingRef>& row);
    void updateModified();

    std::unique_ptr<SourceRecord> working_;
    std::unique_ptr<SourceRecord> undoBase_;
    std::unique_ptr<SourceRecord> savedBase_;
    bool modified_ = false;
    UndoList undo_;
    UndoList redo_;
    SourceDocObserver* observer_ = nullptr;
};

}  // namespace sf
