// End-to-end tests of sysforge-cli: each test runs the built tool in a
// scratch folder and checks its output, its exit status and the files it
// leaves behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_e2e/cli_fixture.h"
#include "cli_e2e/cli_process.h"
#include "source/record.h"
#include "source/schema.h"
#include "source/sourcefile.h"

namespace sf::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Args = std::vector<std::string>;

class Cli : public CliScratchTest {
  protected:
    Cli() : CliScratchTest("sysforge-e2e-") {}

    bool exists(const std::string& name) const { return fs::exists(dir_ / name); }

    // A new source at `name`; fails the test when the tool does not make one.
    std::string newSource(const std::string& name) {
        const auto r = run({"new", path(name)});
        EXPECT_EQ(r.status, 0) << r.err;
        return path(name);
    }
    // The value of a REF, without its newline.
    std::string get(const std::string& file, const std::string& ref) {
        const auto r = run({"get", file, ref});
        EXPECT_EQ(r.status, 0) << ref << ": " << r.err;
        EXPECT_TRUE(!r.out.empty() && r.out.back() == '\n') << ref;
        return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1);
    }
    void set(const std::string& file, const std::string& ref, const std::string& text) {
        const auto r = run({"set", file, ref, text});
        EXPECT_EQ(r.status, 0) << ref << " := " << text << ": " << r.err;
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
};

// The command names of the global --help, as its "Commands:" section lists them.
std::vector<std::string> listedCommands(const std::string& help) {
    std::vector<std::string> names;
    bool inList = false;
    for (const std::string& line : splitLines(help)) {
        if (line == "Commands:")
            inList = true;
        else if (line.empty())
            inList = false;
        else if (inList && line.rfind("  ", 0) == 0 && line[2] != ' ')
            names.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    return names;
}

// The arguments of the example command lines of a --help text: lines
// "  sysforge-cli ...", continued after a backslash, split as a shell does
// for quoted words without escapes.
std::vector<Args> exampleRuns(const std::string& help) {
    std::vector<Args> runs;
    std::string pending;
    for (const std::string& line : splitLines(help)) {
        if (pending.empty() && line.rfind("  sysforge-cli ", 0) != 0) continue;
        pending += line;
        if (!pending.empty() && pending.back() == '\\') {
            pending.pop_back();
            continue;
        }
        Args args;
        std::string word;
        bool inWord = false;
        char quote = 0;
        for (char ch : pending) {
            if (quote) {
                if (ch == quote)
                    quote = 0;
                else
                    word += ch;
            } else if (ch == '"' || ch == '\'') {
                quote = ch;
                inWord = true;
            } else if (ch == ' ') {
                if (inWord) args.push_back(word);
                word.clear();
                inWord = false;
            } else {
                word += ch;
                inWord = true;
            }
        }
        if (inWord) args.push_back(word);
        runs.emplace_back(args.begin() + 1, args.end());
        pending.clear();
    }
    return runs;
}

TEST_F(Cli, EveryCommandExplainsItselfAndItsExamplesRun) {
    const auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    const auto names = listedCommands(help.out);
    EXPECT_GE(names.size(), 16u);

    // The files the examples name.
    newSource("synth.d");
    ASSERT_EQ(run({"set", "synth.d", "4", "Synth"}).status, 0);
    ASSERT_EQ(run({"export", "synth.d", "synth.txt"}).status, 0);
    fs::create_directories(dir_ / "drivers");
    fs::copy_file(dir_ / "synth.d", dir_ / "drivers" / "other.d");
    writeFile(dir_ / "names.txt", "Piano\nStrings\n");

    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto own = run({name, "--help"});
        EXPECT_EQ(own.status, 0) << own.err;
        EXPECT_EQ(own.out.rfind("Usage: sysforge-cli ", 0), 0u);
        EXPECT_EQ(run({"help", name}).out, own.out);
        // A usage error points to the command's own help.
        const auto wrong = run({name});
        EXPECT_EQ(wrong.status, 2);
        EXPECT_THAT(wrong.err, HasSubstr("sysforge-cli " + name + " --help"));
        // Every command shows at least one example, and each is a valid call.
        const auto examples = exampleRuns(own.out);
        EXPECT_FALSE(examples.empty());
        for (const Args& args : examples) {
            const auto r = run(args);
            EXPECT_NE(r.status, 2) << ::testing::PrintToString(args) << ": " << r.err;
        }
    }
    // Text after "--" is never taken for a request of help.
    EXPECT_EQ(run({"message", "--", "--help"}).status, 0);
}

TEST_F(Cli, UsageAndCommandLineErrors) {
    EXPECT_THAT(run({"frobnicate"}).err, HasSubstr("frobnicate"));
    expectFailure(2, {
                         {},                                     // no command
                         {"frobnicate"},                         // unknown command
                         {"--hex-prefix=#", "message", "1"},     // unknown prefix
                         {"get", "only-one-arg"},                // missing arguments
                         {"message", "--capacity=x", "1"},       // bad option value
                         {"message", "--bogus=1", "1"},          // unknown option
                         {"convert", "octal", "7"},              // unknown number format
                         {"convert", "--size=12", "hex", "7"},   // no such size
                         {"rom-names", path("x.d"), "0", "16"},  // sub-bank beyond 15
                         {"list-driver", "--name=X", "--bank=16:A:0:0", path("x.d")},
                         {"list-driver", "--name=X", "--bank=0:A", path("x.d")},
                     });
    EXPECT_FALSE(exists("x.d"));
}

TEST_F(Cli, MessageParsesAndFormats) {
    struct Case {
        Args args;
        const char* units;
        const char* text;
    };
    // The parsing rules themselves are the message component's; here: the
    // two output lines, the options, and the UTF-8 of the command line.
    const Case cases[] = {
        {{"message", "F0,$43 ; 0x10,&h7F, chk"}, "4000 0043 0010 007F 00F5", "$0,$43,$10,$7F,Chk"},
        // é typed as UTF-8 is the Windows-1252 code E9: high byte 0xFF.
        {{"message", "'A', 'é'"}, "8041 FFE9", "$41,$E9"},
        // Only the first N pieces are kept; no unit gives two empty lines.
        {{"message", "--capacity=2", "1,2,3"}, "4001 4002", "$1,$2"},
        {{"--hex-prefix=&H", "message", "$F0,$41,Head,joker,$F7"},
         "00F0 0041 00FD 00FE 00F7",
         "&HF0,&H41,Head,Joker,&HF7"},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, 0) << c.args.back();
        EXPECT_EQ(r.out, std::string(c.units) + "\n" + c.text + "\n") << c.args.back();
    }
}

TEST_F(Cli, NewGetSetRoundTripSavesLikeTheEditor) {
    const auto file = newSource("synth.d");
    EXPECT_TRUE(exists("synth.dev"));  // a new source is saved as Save does
    EXPECT_EQ(readFile(file).substr(0, 8), "DEV_SRCE");
    EXPECT_EQ(get(file, "9"), "100");
    EXPECT_EQ(get(file, "107:0"), "Module");

    set(file, "9", "113");
    EXPECT_EQ(get(file, "9"), "113");
    EXPECT_TRUE(exists("synth.bak"));
    EXPECT_EQ(readFile(path("synth.dev")).substr(0, 4), "DEV ");

    // Typing the shown text again stores nothing, so nothing is saved.
    fs::remove(path("synth.bak"));
    set(file, "9", " 113 ");
    EXPECT_FALSE(exists("synth.bak"));
}

TEST_F(Cli, SourceTooLargeForADriverIsSavedAndTheCommandFails) {
    // Three named modules; ROM names and one more block past 64 KB.
    auto r = sf::newSource();
    for (int m = 0; m < 3; ++m)
        r->setText(rec::moduleBase(m) + rec::kModName, rec::kModNameSize, "M");
    for (int m = 0; m < 2; ++m) {
        r->setModU16(m, rec::kModFlags, 0x0008);
        r->setModU16(m, rec::kModSubBankCount, 1);
        r->setU16(rec::moduleBase(m) + rec::subBankBase(0) + rec::kSbType, 2);
        r->block(m, 0) = Block(40000, 'n');
    }
    r->setU16(rec::moduleBase(2) + 64, 0xF0);
    r->setU16(rec::moduleBase(2) + 64 + 80, 1);
    ASSERT_TRUE(saveSourceFile(path("big.d"), *r, nullptr, nullptr));

    const CliResult res = run({"set", "big.d", "9", "113"});
    EXPECT_EQ(res.status, 1);
    EXPECT_THAT(res.err, ::testing::HasSubstr("Module 3, block"));
    EXPECT_THAT(res.err, ::testing::HasSubstr("the driver file big.dev was not written"));
    EXPECT_EQ(get(path("big.d"), "9"), "113");
    EXPECT_TRUE(exists("big.bak"));
    EXPECT_FALSE(exists("big.dev"));
}

TEST_F(Cli, SetAndGetConvertAndEscapeText) {
    const auto file = newSource("t.d");
    const struct {
        const char* ref;
        const char* typed;
        const char* shown;
    } cases[] = {
        {"107:0", "Café €", "Café €"},  // Windows-1252 letters come back as UTF-8
        {"107:0", "Ko日", "Ko?"},       // not in Windows-1252: "?"
        {"107:0",
         "A\x01"
         "B\\C",
         "A\\x01B\\x5CC"},                              // control bytes and "\" escaped
        {"107:0", "a\xC2\x81\xC2\x9D", "a\\x81\\x9D"},  // undefined bytes: U+0081, U+009D
        {"31:3", "third line", "third line"},           // help line 3 of the driver
    };
    for (const auto& c : cases) {
        set(file, c.ref, c.typed);
        EXPECT_EQ(get(file, c.ref), c.shown) << c.typed;
    }
    EXPECT_EQ(get(file, "31:2"), "");
}

TEST_F(Cli, ChooseEntriesOfChoiceLists) {
    const auto file = newSource("c.d");
    auto r = run({"choose", file, "108:0", "Only display names (no memory dump)"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(get(file, "108:0"), "Only display names (no memory dump)");
    EXPECT_TRUE(exists("c.bak"));

    // Choice list of "Structure": the value of the chosen entry is stored, and
    // the data structure is normalised as after any change in the tree:
    // structure 7 forces the totals to 1.
    r = run({"choose", file, "176:0", "No structure (save raw data)"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(get(file, "176:0"), "No structure (save raw data)");
    EXPECT_EQ(get(file, "181:0"), "1");

    // Unknown entry (case matters), or a setting without a choice list.
    expectFailure(2,
                  {{"choose", file, "108:0", "only display names"}, {"choose", file, "9", "Yes"}});
}

TEST_F(Cli, DamagedFilesAndBadRefs) {
    writeFile(path("bad.d"), "this is not a driver source");
    auto r = run({"set", path("bad.d"), "9", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Wrong or damaged file!"));
    EXPECT_EQ(readFile(path("bad.d")), "this is not a driver source");  // untouched
    EXPECT_FALSE(exists("bad.bak"));

    // A missing file, and a truncated copy of a good source.
    const auto good = newSource("good.d");
    writeFile(path("cut.d"), readFile(good).substr(0, 3000));
    expectFailure(1, {{"get", path("missing.d"), "9"}, {"get", path("cut.d"), "9"}});

    for (const char* ref :
         {"", "x", "9:", ":1", "9:a", "9:1:2:3", "9 ", "308", "107", "107:16", "107:-1", "9:0",
          "31", "31:10", "128:0", "128:0:10", "262:0:16", "99999999999"})
        expectFailure(2, {{"get", good, ref}});
    EXPECT_EQ(get(good, "128:0:9"), "0");
}

TEST_F(Cli, SetRefusesValuesThatAreNotTyped) {
    const auto file = newSource("s.d");
    fs::remove(path("s.bak"));
    // Chosen from a list, a group heading, a computed total: usage errors,
    // and the file is left alone.
    for (const char* ref : {"11", "108:0", "2", "131:0"})
        expectFailure(2, {{"set", file, ref, "1"}});
    EXPECT_FALSE(exists("s.bak"));
    // A message is typed as its text form.
    set(file, "15", "$F0, $41, chk");
    EXPECT_EQ(get(file, "15"), "$F0,$41,Chk");
}

TEST_F(Cli, TreeListsEveryRow) {
    const auto file = newSource("tree.d");
    auto r = run({"tree", file});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = splitLines(r.out);
    const auto rows = buildTreeRows(*sf::newSource());
    ASSERT_EQ(lines.size(), rows.size());
    // depth, id, index1, index2, label, value, enabled (0 or 1); tab-separated.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "3\t9\t-1\t-1\tDriver version\t100\t1"),
              lines.end());
    // Raising "Number of modules" adds the rows of the new modules.
    set(file, "103", "3");
    r = run({"tree", file});
    ASSERT_EQ(r.status, 0);
    EXPECT_GT(splitLines(r.out).size(), rows.size() * 2);
    EXPECT_EQ(get(file, "107:2"), "Module");
}

TEST_F(Cli, CompileWritesTheDriver) {
    const auto file = newSource("comp.d");
    auto r = run({"compile", file, path("out.dev")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(path("out.dev")).substr(0, 4), "DEV ");
    EXPECT_EQ(readFile(path("out.dev")), readFile(path("comp.dev")));

    fs::remove(path("comp.dev"));
    r = run({"compile", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(exists("comp.dev"));
}

TEST_F(Cli, SavesNeverDestroyTheSourceOrAProtectedFile) {
    // Where the source and its backup go is the core's; here: a refused save
    // is a failure with its reasons on standard error.
    newSource("synth.d");
    // A compile onto its own source is refused.
    const std::string source = readFile(path("synth.d"));
    expectFailure(1, {{"compile", path("synth.d"), path("synth.d")}});
    EXPECT_EQ(readFile(path("synth.d")), source);

    // A write-protected driver refuses the save and leaves every file alone.
    fs::permissions(path("synth.dev"), fs::perms::owner_read);
    const std::string driver = readFile(path("synth.dev"));
    const auto r = run({"set", path("synth.d"), "9", "113"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr(path("synth.dev") +
                                 "\nAn error occurred. This file could not be opened."));
    EXPECT_THAT(r.err, HasSubstr("Error while saving!"));
    EXPECT_EQ(readFile(path("synth.d")), source);
    EXPECT_EQ(readFile(path("synth.dev")), driver);
}

TEST_F(Cli, HexdumpLines) {
    writeFile(path("bytes.bin"), "ABCDEFGHIJKLMNOPQRST");
    auto r = run({"hexdump", path("bytes.bin")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "000  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP\n"
              "016  51 52 53 54                                       QRST\n");
    writeFile(path("empty.bin"), "");
    EXPECT_EQ(run({"hexdump", path("empty.bin")}).out, "");
    expectFailure(1, {{"hexdump", path("nothing-here.bin")}});
}

TEST_F(Cli, ConvertShowsEveryField) {
    auto r = run({"convert", "--size=8", "unsigned", "200"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "size=16\nsigned=200\nunsigned=200\nhex=C8\nbits=00000000-11001000\nascii=\n"
              "roland=01, 48\nnibbles=C, 8\n");
    EXPECT_EQ(r.err, "");

    // Each refused character is a beep on standard error.
    r = run({"convert", "roland", "80"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "beep\n");
    EXPECT_THAT(run({"convert", "--decimal-groups", "roland", "1 127"}).out,
                HasSubstr("unsigned=255\n"));
}

TEST_F(Cli, SearchAcrossDrivers) {
    // What matches is the search's; here: one line per match with its module.
    fs::create_directories(dir_ / "lib" / "sub");
    const auto a = path("lib/a.d");
    const auto b = path("lib/sub/b.d");
    for (const auto& p : {a, b}) ASSERT_EQ(run({"new", p}).status, 0);
    set(b, "103", "3");
    set(b, "107:2", "Drums");
    set(a, "107:0", "Drums");
    auto r = run({"search", path("lib"), a, "107:0", "same"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(splitLines(r.out), (Args{a + "\t0", b + "\t2", "Driver List (2 items out of 2)"}));
    r = run({"search", path("lib"), a, "9", "different"});
    EXPECT_EQ(splitLines(r.out), (Args{"Driver List (0 items out of 2)"}));
    expectFailure(2, {{"search", path("lib"), a, "9", "similar"}});
}

TEST_F(Cli, RomNamesRoundTripAndShowTheCheck) {
    const auto file = newSource("rom.d");
    set(file, "256:0", "2");
    set(file, "257:0", "3");
    set(file, "238:0", "8");
    // As the dialog's OK: the report and its question are shown, then stored.
    writeFile(path("names.txt"), "Piano\nStrings\nBrass\nOrgan\n");
    auto r = run({"rom-names", file, "0", "1", path("names.txt")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Wrong number of names (3 expected).\n\nDo you want to close anyway?\n");
    EXPECT_TRUE(exists("rom.bak"));
    r = run({"rom-names", file, "0", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Piano\r\nStrings\r\nBrass\r\n");
    EXPECT_EQ(run({"rom-names", file, "0", "0"}).out, "");  // another sub-bank is untouched
    expectFailure(2, {{"rom-names", file, "x", "0"}});
}

TEST_F(Cli, ModulesBeyondTheModuleCountAreRefused) {
    const auto one = newSource("one.d");
    fs::create_directories(dir_ / "lib");
    ASSERT_EQ(run({"new", path("lib/other.d")}).status, 0);
    const std::string before = readFile(one);
    expectFailure(2, {{"get", one, "107:7"},
                      {"get", one, "262:1:0"},
                      {"set", one, "107:1", "Perf"},
                      {"choose", one, "108:3", "Only display names (no memory dump)"},
                      {"search", path("lib"), one, "107:5", "same"},
                      {"rom-names", one, "1", "0"}});
    EXPECT_THAT(run({"get", one, "107:7"}).err, HasSubstr("Number of modules is 1"));
    EXPECT_EQ(readFile(one), before);
    // Raising the count brings the module into reach.
    set(one, "103", "2");
    EXPECT_EQ(get(one, "107:1"), "Module");
    EXPECT_EQ(run({"search", path("lib"), one, "107:1", "same"}).status, 0);
}

TEST_F(Cli, ReadmeMessageExamplesReadAsWritten) {
    // Each "sysforge-cli message" example of the README prints its own text back.
    const std::string readme = readFile(fs::path(SF_SOURCE_DIR) / "README.md");
    int examples = 0;
    for (const std::string& line : splitLines(readme)) {
        const std::string cmd = "sysforge-cli message ";
        if (line.rfind(cmd, 0) != 0) continue;
        std::string arg = line.substr(cmd.size());
        ASSERT_GE(arg.size(), 2u);
        arg = arg.substr(1, arg.size() - 2);  // drop the quotes
        const auto r = run({"message", arg});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(splitLines(r.out).at(1), arg);
        ++examples;
    }
    EXPECT_GT(examples, 0);
}

TEST_F(Cli, ListDriverGenerator) {
    const auto out = path("list.d");
    auto r = run({"list-driver", "--name=Synth", "--name-length=4", "--columns=0", "--rows=200",
                  "--bank=0:Bank A:1:0", "--bank=2:Bank C:3:64", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(exists("list.dev"));
    // The generator's own rules are tested with it; here: the options reach it.
    const std::pair<const char*, const char*> values[] = {
        {"108:0", "Only display names (no memory dump)"},
        {"238:0", "8"},
        {"257:0", "128"},
        {"262:0:0", "Bank A"},
        {"262:0:2", "Bank C"}};
    for (const auto& [ref, value] : values) EXPECT_EQ(get(out, ref), value) << ref;

    // Nothing to create (no name, or no bank with names): a reason, no file.
    expectFailure(1, {{"list-driver", "--name=", "--bank=0:A:0:0", path("none.d")},
                      {"list-driver", "--name=X", "--bank=1:A:0:0", path("none.d")}});
    EXPECT_FALSE(exists("none.d"));
}

}  // namespace
}  // namespace sf::e2e
