// The decisions of the document framework that do not depend on a toolkit:
// the questions asked before a document is closed, reverted or the program
// ends, the window title of a document, finding an already open file, and
// completing a typed file name with the type's default extension.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sf {

class Prompter;

inline constexpr const char* kSaveBeforeClosingQuestion =
    "%s\nDo you want to save this document before closing?";
inline constexpr const char* kReplaceQuestion = "%s already exists. Do you want to replace it?";
inline constexpr const char* kRevertQuestion =
    "This document contains unsaved changes. Are you sure you want to revert to the last saved "
    "version?";

// What the framework needs to know of a document to close it.
class ClosableDocument {
  public:
    virtual ~ClosableDocument() = default;
    // The name shown in the close question and the window title.
    virtual std::string displayName() const = 0;
    virtual bool isModified() const = 0;
    // Saves under the current name (asking for one when the document has
    // none); answers false when the user cancelled or the save failed (its
    // own message having been shown).
    virtual bool saveForClose() = 0;
};

enum class CloseChoice { Save, Discard, Cancel };

// The close question for a modified document ("Yes" saves, "No" discards,
// "Cancel" keeps it open); an unmodified document closes without a question.
CloseChoice askBeforeClosing(const ClosableDocument& doc, Prompter& prompter);

// Asks, and saves when told to: answers whether the document may close.
bool mayClose(ClosableDocument& doc, Prompter& prompter);

// The same for every document in turn before the program ends; the first
// "Cancel" (or a failed save) stops the round and keeps the program running.
bool mayCloseAll(std::span<ClosableDocument* const> docs, Prompter& prompter);

// "&Revert to saved...": a modified document asks first; an unmodified one
// reloads without a question.
bool confirmRevert(bool modified, Prompter& prompter);

// "Save as...": whether a document whose own file is `own` (empty when it
// has none) may be written to `target`, the final name with its extension.
// An existing file other than its own is replaced only when the user answers
// Yes to kReplaceQuestion with the file's name; No sends the user back to
// the file dialog.
bool mayReplaceFile(const std::filesystem::path& target, const std::filesystem::path& own,
                    Prompter& prompter);

// The name of a document that has never been saved: "Untitled1", "Untitled2"...
std::string untitledName(int number);
// The window title: the file name, with " *" while there are unsaved changes.
std::string documentTitle(std::string_view displayName, bool modified);

// Whether two paths name the same file (symbolic links and "." / ".."
// resolved; a path that does not exist is compared in its normal form).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// The form sameFile compares: absolute, links resolved where the path exists.
std::filesystem::path normalFilePath(const std::filesystem::path& p);
// The index of `path` in `open`, or -1.
int findOpenFile(std::span<const std::filesystem::path> open, const std::filesystem::path& path);

// A name typed in a save dialog without an extension gets `extension`
// (without the dot); a name that has one keeps it. An empty extension
// changes nothing.
std::filesystem::path withDefaultExtension(const std::filesystem::path& typed,
                                           std::string_view extension);

}  // namespace sf
