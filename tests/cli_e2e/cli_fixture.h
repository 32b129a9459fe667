// The sysforge-cli end-to-end tests run the built tool as a child process in a
// scratch folder of each test's own and check what it prints, its exit status
// and the files it leaves behind.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace sf::e2e {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using testsupport::readText;
using testsupport::writeText;

struct CliResult {
    int status = -1;  // exit status; 128 + signal number when killed by one
    std::string out, err;
};

// Lines of a text, split at "\n" (a final newline ends the last line).
inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class Cli : public ::testing::Test {
  protected:
    // Runs a shell command line in the scratch folder, its leading
    // "sysforge-cli" standing for the built tool; no input, output and error
    // to files there.
    CliResult shell(const std::string& line) {
        const std::string command = "cd '" + dir_.string() + "' && exec '" SF_CLI_PATH "'" +
                                    line.substr(std::string("sysforge-cli").size());
        const int ws = std::system((command + " </dev/null >cli.stdout 2>cli.stderr").c_str());
        return {WIFEXITED(ws)     ? WEXITSTATUS(ws)
                : WIFSIGNALED(ws) ? 128 + WTERMSIG(ws)
                                  : -1,
                readText(dir_ / "cli.stdout"), readText(dir_ / "cli.stderr")};
    }
    // Runs the tool with each argument quoted.
    CliResult run(const Args& args) {
        std::string line = "sysforge-cli";
        for (const std::string& a : args) {
            line += " '";
            for (char ch : a) line += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
            line += "'";
        }
        return shell(line);
    }
    // The exit status and the standard output of a run.
    std::pair<int, std::string> answer(const Args& args) {
        const auto r = run(args);
        return {r.status, r.out};
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    bool exists(const std::string& name) const { return fs::exists(dir_ / name); }

    // Runs a command that must succeed.
    void ok(const Args& args) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 0) << ::testing::PrintToString(args) << ": " << r.err;
    }
    // A new source at `name`, by the tool's own "new".
    std::string newSource(const std::string& name) {
        ok({"new", path(name)});
        return path(name);
    }
    void set(const std::string& file, const std::string& ref, const std::string& text) {
        ok({"set", file, ref, text});
    }
    // Sets "REF=text; REF=text; ..." one after the other.
    void set(const std::string& file, const std::string& assignments) {
        std::istringstream in(assignments);
        for (std::string a; std::getline(in >> std::ws, a, ';');)
            set(file, a.substr(0, a.find('=')), a.substr(a.find('=') + 1));
    }
    // A named driver that the checker finds nothing in.
    std::string namedSource(const std::string& name, const std::string& fileName) {
        const std::string p = newSource(name);
        set(p, "4=Synth; 6=" + fileName + "; 8=SYN");
        return p;
    }
    // The value of a REF, without its newline.
    std::string get(const std::string& file, const std::string& ref) {
        const auto r = run({"get", file, ref});
        EXPECT_EQ(r.status, 0) << ref << ": " << r.err;
        EXPECT_TRUE(!r.out.empty() && r.out.back() == '\n') << ref;
        return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1);
    }
    // Every run fails with `status`, says why and prints no result.
    void expectFailure(int status, std::initializer_list<Args> runs) {
        for (const Args& args : runs) {
            const auto r = run(args);
            const auto shown = ::testing::PrintToString(args);
            EXPECT_EQ(r.status, status) << shown;
            EXPECT_TRUE(r.out.empty()) << shown;
            EXPECT_FALSE(r.err.empty()) << shown;
        }
    }

    testsupport::TempDir tmp_;
    const fs::path dir_ = tmp_.path();
};

}  // namespace sf::e2e
