// The commands of sysforge-cli and their usage texts, in one table: the
// dispatcher finds a command's function there, and the global --help, each
// command's --help and the manual page are all written from the same texts.
//
// A new command is one more row of the table in commands.cpp: its function,
// its arguments, a one-line summary, paragraphs, options and examples.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

namespace sf::cli {

// A term and its text: an option ("--size=8|16|32") or an example, whose
// term is the command line after "sysforge-cli ".
struct UsageItem {
    std::string_view term;
    std::string_view text;
};

struct Command {
    std::string_view name;
    int (*run)(const Args& args, Io& io);
    std::string_view arguments;  // after the name: "FILE REF [OUT]"
    std::string_view summary;    // one line, lower case, no full stop
    std::vector<std::string_view> paragraphs;
    std::vector<UsageItem> options;
    std::vector<UsageItem> examples;
};

// Every command, in the order of the usage text.
const std::vector<Command>& commands();
const Command* findCommand(std::string_view name);

// "Usage: sysforge-cli [--hex-prefix=0x|$|&H] NAME ARGUMENTS": the line a
// usage error of the command shows.
std::string usageLine(const Command& c);
// The whole --help of a command: usage, paragraphs, options, examples.
std::string commandHelp(const Command& c);
// The manual page sysforge-cli(1) in roff.
std::string manualPage(std::string_view version);

}  // namespace sf::cli
