// Runs the built sysforge-cli as a child process and captures what it prints.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sf::e2e {

struct CliResult {
    int status = -1;  // exit status; 128 + signal number when killed by one
    std::string out;
    std::string err;
};

// Runs the tool with `args` in the folder `scratch`, which must exist;
// standard output and error go to files there.
CliResult runCli(const std::vector<std::string>& args, const std::filesystem::path& scratch);

// Whole-file helpers.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// Lines of a text, split at "\n" (a final newline ends the last line).
std::vector<std::string> splitLines(const std::string& text);

}  // namespace sf::e2e
