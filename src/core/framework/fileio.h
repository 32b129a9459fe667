// The file layer: whole-file reads, atomic writes, backups, renames and
// deletes. Every failure raises sf::Exception with its numbered message (see
// framework/exception.h); nothing fails silently.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/bytes.h"
#include "framework/exception.h"

namespace sf {

class Prompter;

namespace fs = std::filesystem;

// The whole content of an existing file. Raises 18025 (file held by another
// program), 18000 (cannot be opened) or 18002 (short or failed read).
std::vector<std::uint8_t> readWholeFile(const fs::path& path);

// Replaces (or creates) `path` with `bytes` so that a failure never leaves a
// half-written file: the bytes go to a temporary file in the same folder,
// which is flushed to disk and then renamed over the target. A symbolic link
// is followed: the file it leads to is replaced, in its own folder, and the
// link stays. A write-protected file is refused (see checkWritable). On
// failure the target stays as it was and the temporary file is removed.
void writeFileAtomic(const fs::path& path, ConstByteSpan bytes);

// The file that `path` finally names: symbolic links in its last component
// are followed (a relative link counts from the link's own folder), so that
// a save replaces the linked file rather than the link. A path that is no
// link comes back unchanged; a link to nothing leads to the file it would
// create. A loop of links raises 18000.
fs::path resolveLinks(const fs::path& path);

// Raises the message of a failed open for writing when an existing file at
// `path` may not be written: 18025 when another program holds it, 18000
// otherwise. A file whose mode has no write bit at all counts as
// write-protected even for root, who could write it anyway. A missing file
// passes.
void checkWritable(const fs::path& path);

// The two halves of writeFileAtomic, for callers that must prepare several
// files before putting any of them in place. `target` is the real file:
// callers resolve links first (resolveLinks).
// Checks that an existing `target` may be written (checkWritable), then
// writes and flushes a temporary file beside it; answers its path.
fs::path writeTempFile(const fs::path& target, ConstByteSpan bytes);
// Renames a prepared temporary file over `target` and flushes the folder.
// Raises 18013; the temporary file is left for the caller to discard.
void commitTempFile(const fs::path& temp, const fs::path& target);
// Gives an existing file a second, temporary name beside it, so that it can
// be restored or kept after the file is replaced: a hard link, or a rename
// where the file system has no links (then `*moved` is set). Raises 18013.
fs::path keepAside(const fs::path& file, bool* moved);
// Removes a temporary file, ignoring any failure.
void discardFile(const fs::path& path) noexcept;

bool fileExists(const fs::path& path);

// Deletes a file. When `report` is set a failure raises 18001; otherwise
// the answer says whether the file is gone.
bool removeFile(const fs::path& path, bool report);
// Renames a file, replacing an existing target; raises 18013.
void renameFile(const fs::path& from, const fs::path& to);
// Copies a file atomically over `to`; raises 18006, or 18019 on a full disk.
void copyFile(const fs::path& from, const fs::path& to);
// Checks that a directory name can be used (exists and is a directory);
// raises 18008.
void checkDirectory(const fs::path& dir);

// `path` with its extension replaced by `backupExt`. With "~" the first
// letter of the extension becomes "~" (X.MID -> X.~ID); a name without an
// extension gets the extension "~".
fs::path backupName(const fs::path& path, std::string_view backupExt);

// Keeps the file at `path` (if any) as a backup before it is overwritten.
// mode 0: no backup; 1: ask question 18010 (Yes: backup, No: no backup,
// Cancel: abandon the save); 2: backup without asking. An older backup is
// deleted (unreported), then the file is renamed (18013 on failure).
// A link is followed: the file it leads to gets its backup in its own folder.
// A write-protected file raises its message (checkWritable) before anything
// is asked or renamed. Answers false when the user abandoned the save.
bool saveBackup(const fs::path& path, int mode, std::string_view backupExt, Prompter* prompter);

// The mount point of the partition holding `path` (its folder when that
// cannot be found); the "%s" of message 18019.
std::string partitionOf(const fs::path& path);

// Test hook: injects failures into file operations. The hook is called
// before each operation; a non-zero answer makes the operation fail with
// that errno. Install nullptr to remove it.
enum class FileOp { Open, Create, Read, Write, Sync, Rename, Link, Remove };
using FileFaultHook = std::function<int(FileOp op, const fs::path& path)>;
void setFileFaultHook(FileFaultHook hook);

}  // namespace sf
