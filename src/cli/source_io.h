// Reading and saving driver sources for the commands, with the editor's
// messages on standard error.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "cli.h"
#include "source/record.h"

namespace sf::cli {

// Reads a driver source; throws Failure after the reason has been shown.
std::unique_ptr<SourceRecord> loadSource(const std::filesystem::path& path, Io& io);

// Saves as the editor's Save does: the previous file becomes "<name>.bak",
// the source is written and the compiled driver is written beside it with the
// extension "dev". Throws Failure after the reason has been shown.
void saveSource(const std::filesystem::path& path, const SourceRecord& record, Io& io);

// Refuses (usage error, status 2) a REF that addresses no row of this
// source's settings tree: a module at or above its "Number of modules".
// `text` is the REF as typed, for the message.
void requireTreeRow(const SourceRecord& record, const SettingRef& ref, std::string_view text);
// The same for a module index given on its own.
void requireModuleInUse(const SourceRecord& record, int module);

// The follow-up of a change of a value, as the settings view does it: the
// data-structure fields of the module are normalised after a change of a
// setting 175..192.
void afterValueChanged(SourceRecord& record, const SettingRef& ref);

}  // namespace sf::cli
