// The driver checker: what in a driver source the host cannot use as written
// or the compiler will refuse (errors), and what is almost certainly a
// mistake (warnings). Each finding names the row it concerns and says in one
// line what is wrong and what to do. Only rules the settings' own help texts
// and the compiled format make certain are checked.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "framework/prompter.h"
#include "source/record.h"
#include "source/schema.h"

namespace sf {

enum class Severity { Warning, Error };

struct Finding {
    Severity severity = Severity::Warning;
    SettingRef ref;
    std::string text;
};

// "error" or "warning".
const char* severityName(Severity s);

// The findings of one source, in tree order of their rows.
std::vector<Finding> checkDriver(const SourceRecord& record);

// The question asked before a driver with errors is saved, or an empty text
// when the findings hold no error.
std::string saveDespiteErrorsQuestion(const std::vector<Finding>& findings);
// Checks the driver before a save and, when it has errors, asks once whether
// to save anyway. Answers whether the save goes on.
bool confirmSaveDespiteErrors(const SourceRecord& record, Prompter& prompter);

// Drivers that would collide in the host's driver folder: two sources with
// the same driver "File name" (the host tells drivers apart by it), or whose
// files have the same name (they compile to the same ".dev" there).
// The driver "File name" (setting 6) of a source, as stored.
std::string driverFileName(const SourceRecord& record);

class DriverNameIndex {
  public:
    // Records one driver of the library (or of the files being checked),
    // with its driver file name.
    void add(const std::filesystem::path& path, std::string_view fileName);
    // Findings for the driver at `path` against every other driver added.
    std::vector<Finding> collisions(const std::filesystem::path& path,
                                    std::string_view fileName) const;

  private:
    std::multimap<std::string, std::filesystem::path> byFileName_;
    std::multimap<std::string, std::filesystem::path> byStem_;
};

// The findings of one driver source file.
struct FileFindings {
    std::filesystem::path path;
    bool readable = false;
    std::string unreadable;  // why the file could not be read
    std::vector<Finding> findings;
};

// Checks every file, then the collisions of their driver file names among
// them and with the drivers of `library` (files given in both count once).
// Files are read straight into one reused record.
std::vector<FileFindings> checkDriverFiles(const std::vector<std::filesystem::path>& files,
                                           const std::vector<std::filesystem::path>& library = {});

}  // namespace sf
