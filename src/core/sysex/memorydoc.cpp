#include "sysex/memorydoc.h"

#include <new>

#include "framework/fileio.h"
#include "framework/prompter.h"

namespace sf {

namespace {

void report(Prompter* prompter, const std::string& text) {
    if (prompter) prompter->message(text, MessageIcon::Stop);
}

// Reads a whole file, reporting a failure; false leaves `out` untouched.
bool readInto(const fs::path& path, std::vector<std::uint8_t>& out, Prompter* prompter) {
    try {
        out = readWholeFile(path);
        return true;
    } catch (const Exception& e) {
        report(prompter, e.text());
    } catch (const std::bad_alloc&) {
        report(prompter, formatFileMessage(filemsg::kReadFailed, path.string()));
    }
    return false;
}

}  // namespace

MemoryDoc::MemoryDoc(std::vector<std::uint8_t> data, bool modified)
    : data_(std::move(data)), modified_(modified) {}

std::unique_ptr<MemoryDoc> MemoryDoc::open(const fs::path& path, Prompter* prompter) {
    std::vector<std::uint8_t> bytes;
    if (!readInto(path, bytes, prompter)) return nullptr;
    auto doc = std::make_unique<MemoryDoc>(std::move(bytes));
    doc->path_ = path;
    return doc;
}

bool MemoryDoc::save(Prompter* prompter) {
    if (path_.empty()) return false;
    return saveAs(path_, prompter);
}

bool MemoryDoc::saveAs(const fs::path& path, Prompter* prompter) {
    fs::path target, temp, aside;
    bool asideMoved = false, committed = false;
    try {
        // A linked file is replaced where it lies, with its backup beside
        // it; the link stays, and stays the document's name.
        target = resolveLinks(path);
        // The new content is complete on disk before the old file moves.
        temp = writeTempFile(target, data_);
        if (fileExists(target)) aside = keepAside(target, &asideMoved);
        commitTempFile(temp, target);
        temp.clear();
        committed = true;
        const fs::path backup = backupName(target, MemoryDocFactory::kBackupExtension);
        if (!aside.empty() && backup != target) {
            renameFile(aside, backup);  // replaces an older backup
            aside.clear();
        }
    } catch (const Exception& e) {
        discardFile(temp);
        if (!aside.empty() && (committed || asideMoved)) {
            try {
                renameFile(aside, target);
                aside.clear();
            } catch (const Exception&) {
            }
        } else if (aside.empty() && committed) {
            discardFile(target);  // there was no file before
        }
        discardFile(aside);  // a second name of a file still in place
        report(prompter, e.text());
        return false;
    }
    discardFile(aside);  // saved over the backup name itself: no backup kept
    path_ = path;
    modified_ = false;
    return true;
}

bool MemoryDoc::revert(Prompter* prompter) {
    if (path_.empty()) return false;
    std::vector<std::uint8_t> bytes;
    if (!readInto(path_, bytes, prompter)) return false;
    data_ = std::move(bytes);
    modified_ = false;
    return true;
}

}  // namespace sf
