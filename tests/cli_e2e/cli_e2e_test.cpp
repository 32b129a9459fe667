// End-to-end tests of sysforge-cli, one command or rule each.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "cli_e2e/cli_fixture.h"
#include "compiler/compiler_support.h"
#include "source/schema.h"
#include "source/sourcefile.h"

namespace sf::e2e {
namespace {

using ::testing::HasSubstr;

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

// The example command lines of a --help text ("  sysforge-cli ...", continued
// after a backslash), to be run by the shell as a reader would.
std::vector<std::string> exampleLines(const std::string& help) {
    std::vector<std::string> examples;
    bool continued = false;
    for (const std::string& line : splitLines(help)) {
        const bool starts = !continued && line.rfind("  sysforge-cli ", 0) == 0;
        if (continued) examples.back() += "\n" + line;
        if (starts) examples.push_back(line.substr(2));
        continued = (continued || starts) && !line.empty() && line.back() == '\\';
    }
    return examples;
}

TEST_F(Cli, EveryCommandExplainsItselfAndItsExamplesRun) {
    const auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    const auto names = listedCommands(help.out);
    EXPECT_GE(names.size(), 16u);

    // The files the examples name.
    set(newSource("synth.d"), "4", "Synth");
    ok({"export", "synth.d", "synth.txt"});
    fs::create_directories(dir_ / "drivers");
    fs::copy_file(dir_ / "synth.d", dir_ / "drivers" / "other.d");
    writeText(dir_ / "names.txt", "Piano\nStrings\n");

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
        const auto examples = exampleLines(own.out);
        EXPECT_FALSE(examples.empty());
        for (const std::string& line : examples) {
            const auto r = shell(line);
            EXPECT_TRUE(r.status != 2 && r.status <= 4) << line << ": " << r.status << r.err;
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
    // The parsing is the message component's; here: output, options, UTF-8 input.
    // é typed as UTF-8 is the Windows-1252 code E9: high byte 0xFF.
    EXPECT_EQ(answer({"message", "'A', 'é'"}), std::pair(0, std::string("8041 FFE9\n$41,$E9\n")));
    // Only the first N pieces are kept.
    EXPECT_EQ(answer({"--hex-prefix=&H", "message", "--capacity=4", "$F0,$41,Head,joker,$F7"}),
              std::pair(0, std::string("00F0 0041 00FD 00FE\n&HF0,&H41,Head,Joker\n")));
}

TEST_F(Cli, NewGetSetRoundTripSavesLikeTheEditor) {
    const auto file = newSource("synth.d");
    EXPECT_TRUE(exists("synth.dev"));  // a new source is saved as Save does
    EXPECT_EQ(get(file, "9"), "100");

    set(file, "9", "113");
    EXPECT_EQ(get(file, "9"), "113");
    EXPECT_TRUE(exists("synth.bak"));
    EXPECT_EQ(readText(path("synth.dev")).substr(0, 4), "DEV ");

    // Typing the shown text again stores nothing, so nothing is saved.
    fs::remove(path("synth.bak"));
    set(file, "9", " 113 ");
    EXPECT_FALSE(exists("synth.bak"));
}

TEST_F(Cli, SourceTooLargeForADriverIsSavedAndTheCommandFails) {
    auto r = sf::newSource();
    test::fillToTheDriverLimit(*r);
    test::setMessage(*r, rec::moduleBase(2) + 64, 40, {0xF0});
    ASSERT_TRUE(saveSourceFile(path("big.d"), *r, nullptr, nullptr));

    // The message is the document's; here: it reaches standard error, the status is 1.
    const CliResult res = run({"set", "big.d", "9", "113"});
    EXPECT_EQ(res.status, 1);
    EXPECT_THAT(res.err, HasSubstr("the driver file big.dev was not written"));
    EXPECT_EQ(get(path("big.d"), "9"), "113");
}

TEST_F(Cli, SetConvertsTextAndRefusesValuesThatAreNotTyped) {
    const auto file = newSource("t.d");
    const struct {
        const char *ref, *typed, *shown;
    } cases[] = {
        {"107:0", "Café €", "Café €"},            // Windows-1252 letters come back as UTF-8
        {"107:0", "A\001B\\C", "A\\x01B\\x5CC"},  // control bytes and "\" escaped
        {"31:3", "third line", "third line"},     // help line 3 of the driver
    };
    for (const auto& c : cases) {
        set(file, c.ref, c.typed);
        EXPECT_EQ(get(file, c.ref), c.shown) << c.typed;
    }
    EXPECT_EQ(get(file, "31:2"), "");

    // Chosen from a list, a group heading, a computed total: usage errors, file untouched.
    const std::string before = readText(file);
    for (const char* ref : {"11", "108:0", "2", "131:0"})
        expectFailure(2, {{"set", file, ref, "1"}});
    EXPECT_EQ(readText(file), before);
}

TEST_F(Cli, ChooseEntriesOfChoiceLists) {
    const auto file = newSource("c.d");
    ok({"choose", file, "108:0", "Only display names (no memory dump)"});
    EXPECT_EQ(get(file, "108:0"), "Only display names (no memory dump)");

    // "Structure" is normalised as after any change in the tree: 7 forces the totals to 1.
    ok({"choose", file, "176:0", "No structure (save raw data)"});
    EXPECT_EQ(get(file, "176:0"), "No structure (save raw data)");
    EXPECT_EQ(get(file, "181:0"), "1");

    // Unknown entry (case matters), or a setting without a choice list.
    expectFailure(2,
                  {{"choose", file, "108:0", "only display names"}, {"choose", file, "9", "Yes"}});
}

TEST_F(Cli, DamagedFilesAndBadRefs) {
    writeText(path("bad.d"), "this is not a driver source");
    auto r = run({"set", path("bad.d"), "9", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Wrong or damaged file!"));
    EXPECT_EQ(readText(path("bad.d")), "this is not a driver source");  // untouched
    EXPECT_FALSE(exists("bad.bak"));

    expectFailure(1, {{"get", path("missing.d"), "9"}});
    const auto good = newSource("good.d");

    for (const char* ref :
         {"", "x", "9:", ":1", "9:a", "9:1:2:3", "9 ", "308", "107", "107:16", "107:-1", "9:0",
          "31", "31:10", "128:0", "128:0:10", "262:0:16", "99999999999"})
        expectFailure(2, {{"get", good, ref}});
    EXPECT_EQ(get(good, "128:0:9"), "0");
}

TEST_F(Cli, TreeListsEveryRow) {
    const auto file = newSource("tree.d");
    const auto r = run({"tree", file});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = splitLines(r.out);
    const auto rows = buildTreeRows(*sf::newSource());
    EXPECT_EQ(lines.size(), rows.size());
    // depth, id, index1, index2, label, value, enabled (0 or 1); tab-separated.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "3\t9\t-1\t-1\tDriver version\t100\t1"),
              lines.end());
}

TEST_F(Cli, CompileAndSavesNeverDestroyTheSourceOrAProtectedFile) {
    const auto file = newSource("comp.d");
    const std::string source = readText(file);
    ok({"compile", file, path("out.dev")});
    EXPECT_EQ(readText(path("out.dev")), readText(path("comp.dev")));
    fs::remove(path("comp.dev"));
    ok({"compile", file});
    EXPECT_TRUE(exists("comp.dev"));

    // A compile onto its own source is refused; a write-protected driver
    // refuses the save (the messages are the source file's).
    expectFailure(1, {{"compile", file, file}});
    fs::permissions(path("comp.dev"), fs::perms::owner_read);
    expectFailure(1, {{"set", file, "9", "113"}});
    EXPECT_EQ(readText(file), source);
}

TEST_F(Cli, HexdumpLines) {
    writeText(path("bytes.bin"), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(
        answer({"hexdump", path("bytes.bin")}),
        std::pair(0, std::string(
                         "000  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP\n"
                         "016  51 52 53 54                                       QRST\n")));
    expectFailure(1, {{"hexdump", path("nothing-here.bin")}});
}

TEST_F(Cli, ConvertShowsEveryField) {
    auto r = run({"convert", "--size=8", "unsigned", "200"});
    EXPECT_EQ(std::tuple(r.status, r.out, r.err),
              std::tuple(0,
                         "size=16\nsigned=200\nunsigned=200\nhex=C8\nbits=00000000-11001000\n"
                         "ascii=\nroland=01, 48\nnibbles=C, 8\n",
                         ""));

    // Each refused character is a beep on standard error.
    r = run({"convert", "roland", "80"});
    EXPECT_EQ(std::pair(r.status, r.err), std::pair(0, std::string("beep\n")));
    EXPECT_THAT(run({"convert", "--decimal-groups", "roland", "1 127"}).out,
                HasSubstr("unsigned=255\n"));
}

TEST_F(Cli, SearchAcrossDrivers) {
    // What matches is the search's; here: one line per match with its module.
    fs::create_directories(dir_ / "lib" / "sub");
    const auto a = path("lib/a.d");
    const auto b = path("lib/sub/b.d");
    for (const auto& p : {a, b}) ok({"new", p});
    set(b, "103=3; 107:2=Drums");
    set(a, "107:0", "Drums");
    auto r = run({"search", path("lib"), a, "107:0", "same"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(splitLines(r.out), (Args{a + "\t0", b + "\t2", "Driver List (2 items out of 2)"}));
    expectFailure(2, {{"search", path("lib"), a, "9", "similar"}});
}

TEST_F(Cli, RomNamesRoundTripAndShowTheCheck) {
    const auto file = newSource("rom.d");
    set(file, "256:0=2; 257:0=3; 238:0=8");
    // As the dialog's OK: the report and its question are shown, then stored.
    writeText(path("names.txt"), "Piano\nStrings\nBrass\nOrgan\n");
    const auto r = run({"rom-names", file, "0", "1", path("names.txt")});
    EXPECT_EQ(
        std::tuple(r.status, r.err),
        std::tuple(0, "Wrong number of names (3 expected).\n\nDo you want to close anyway?\n"));
    EXPECT_EQ(answer({"rom-names", file, "0", "1"}),
              std::pair(0, std::string("Piano\r\nStrings\r\nBrass\r\n")));
    expectFailure(2, {{"rom-names", file, "x", "0"}});
}

TEST_F(Cli, ModulesBeyondTheModuleCountAreRefused) {
    const auto one = newSource("one.d");
    fs::create_directories(dir_ / "lib");
    ok({"new", path("lib/other.d")});
    const std::string before = readText(one);
    expectFailure(2, {{"get", one, "107:7"},
                      {"get", one, "262:1:0"},
                      {"set", one, "107:1", "Perf"},
                      {"choose", one, "108:3", "Only display names (no memory dump)"},
                      {"search", path("lib"), one, "107:5", "same"},
                      {"rom-names", one, "1", "0"}});
    EXPECT_THAT(run({"get", one, "107:7"}).err, HasSubstr("Number of modules is 1"));
    EXPECT_EQ(readText(one), before);
    // Raising the count brings the module into reach.
    set(one, "103", "2");
    EXPECT_EQ(get(one, "107:1"), "Module");
    EXPECT_EQ(run({"search", path("lib"), one, "107:1", "same"}).status, 0);
}

TEST_F(Cli, ReadmeMessageExamplesReadAsWritten) {
    // Each "sysforge-cli message '...'" example of the README prints its own text back.
    const std::string cmd = "sysforge-cli message '";
    int examples = 0;
    for (const std::string& line : splitLines(readText(fs::path(SF_SOURCE_DIR) / "README.md"))) {
        if (line.rfind(cmd, 0) != 0) continue;
        const std::string arg = line.substr(cmd.size(), line.size() - cmd.size() - 1);
        EXPECT_EQ(splitLines(run({"message", arg}).out).at(1), arg);
        ++examples;
    }
    EXPECT_GT(examples, 0);
}

TEST_F(Cli, ListDriverGenerator) {
    const auto out = path("list.d");
    ok({"list-driver", "--name=Synth", "--name-length=4", "--columns=0", "--rows=200",
        "--bank=0:Bank A:1:0", "--bank=2:Bank C:3:64", out});
    EXPECT_TRUE(exists("list.dev"));
    // The generator's own rules are tested with it; here: the options reach it.
    EXPECT_EQ(get(out, "238:0") + " " + get(out, "257:0"), "8 128");
    EXPECT_EQ(get(out, "262:0:0") + ", " + get(out, "262:0:2"), "Bank A, Bank C");

    // Nothing to create (no name, or no bank with names): a reason, no file.
    expectFailure(1, {{"list-driver", "--name=", "--bank=0:A:0:0", path("none.d")},
                      {"list-driver", "--name=X", "--bank=1:A:0:0", path("none.d")}});
    EXPECT_FALSE(exists("none.d"));
}

TEST_F(Cli, AnalyseLinesJsonAndExitStatus) {
    // One patch of 4 bytes per message, named by its first 2 bytes.
    const std::string d = newSource("k.d");
    ok({"choose", d, "108:0", "Dump memory and display patch names"});
    set(d, "224:0=$F0,$43,$10; 177:0=3; 181:0=2; 182:0=4; 238:0=2; 256:0=1; 257:0=2");
    const std::string one = "\xF0\x43\x10\x41\x62\x01\x02\xF7";            // the patch named "Ab"
    writeText(path("two.syx"), one + "\xF0\x43\x10\x43\x64\x03\x04\xF7");  // and "Cd"
    EXPECT_EQ(answer({"analyse", d, "0", path("two.syx")}),
              std::pair(0, std::string("message 1\t0\t8\theader #1\tdata 3+4\tno checksum\n"
                                       "message 2\t8\t8\theader #1\tdata 11+4\tno checksum\n"
                                       "patch 1\tSub-bank #1\t1\t3\t4\t4\tnone\t\"Ab\"\n"
                                       "patch 2\tSub-bank #1\t2\t11\t4\t4\tnone\t\"Cd\"\n")));
    auto r = run({"analyse", "--json", d, "0", path("two.syx")});
    for (const char* key :
         {"\"messages\": [", "\"patches\": [", "\"findings\": []", "\"name\": \"Cd\""})
        EXPECT_THAT(r.out, HasSubstr(key));

    // One patch too few: a finding, status 3; its REF names the setting.
    writeText(path("one.syx"), one);
    r = run({"analyse", d, "0", path("one.syx")});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.out, HasSubstr("finding\t181:0\tThe dump holds 1 patch; Total number of "
                                 "patches says 2\n"));
    EXPECT_EQ(run({"analyse", d, "0", path("missing.syx")}).status, 1);
    expectFailure(2, {{"analyse", d, "1", path("one.syx")},  // one module only
                      {"analyse", d, "x", path("one.syx")},
                      {"analyse", "--json=1", d, "0", path("one.syx")}});
}

TEST_F(Cli, ResolvePrintsEachStepAndNamesAMissingValue) {
    const std::string d = newSource("synth.d");
    set(d, "15=$F0,$41,Chan,$16; 24=9; 205:0=Head,$11,$F7,Wait100,AddNext,$C0,X1");
    EXPECT_EQ(answer({"resolve", d, "205:0", "--var", "X1=0x7"}),
              std::pair(0, std::string("F0 41 09 16 11 F7\npause 100 ms\nC7\n")));
    const auto r = run({"resolve", d, "205:0"});
    EXPECT_EQ(std::tuple(r.status, r.out, r.err), std::tuple(1, "", "X1: no value given\n"));
    // An unknown variable; a name is not a message.
    expectFailure(2, {{"resolve", d, "205:0", "--var", "X9=1"}, {"resolve", d, "107:0"}});
}

TEST_F(Cli, CheckPrintsFindingsAndAnswersBySeverity) {
    const std::string fresh = newSource("fresh.d");
    auto r = run({"check", fresh});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.out, ::testing::StartsWith(fresh + "\twarning\t4\t"));

    // Another driver of the same file name counts only in the library of --root.
    const std::string clean = namedSource("clean.d", "CLEAN");
    fs::create_directories(dir_ / "lib");
    namedSource("lib/b.d", "CLEAN");
    EXPECT_EQ(answer({"check", clean}), std::pair(0, std::string()));

    const std::string reserved = namedSource("reserved.d", "GENERIC");
    writeText(path("broken.d"), "not a driver");
    r = run({"check", clean, reserved, path("broken.d")});
    EXPECT_EQ(r.status, 4);
    EXPECT_THAT(r.out, HasSubstr(reserved + "\terror\t6\t"));
    EXPECT_THAT(r.out, HasSubstr(path("broken.d") + "\terror\t-\tWrong or damaged file!"));
    EXPECT_EQ(run({"check"}).status, 2);

    r = run({"check", "--root=" + path("lib"), clean});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.out, HasSubstr("same file name"));
    EXPECT_EQ(splitLines(run({"check", clean, path("lib/b.d")}).out).size(), 2u);
}

TEST_F(Cli, DiffListsDifferingRowsAndAnswersLikeDiff) {
    const std::string a = namedSource("a.d", "A");
    const std::string b = namedSource("b.d", "A");
    EXPECT_EQ(answer({"diff", a, b}), std::pair(0, std::string()));
    set(b, "9=113; 107:0=Voice");
    EXPECT_EQ(
        answer({"diff", a, b}),
        std::pair(1, std::string("9\tGeneral settings / Identification / Driver version\t100\t113\n"
                                 "107:0\tModule 1 / Global settings / Name\tModule\tVoice\n")));
    EXPECT_EQ(run({"diff", a}).status, 2);
}

TEST_F(Cli, ExportAndImportGiveTheSameFile) {
    const std::string a = namedSource("a.d", "A");
    set(a, "15=$F0, $43; 262:0:0=Bank\\x01");
    ok({"export", a, path("a.txt")});
    const std::string text = readText(path("a.txt"));
    EXPECT_EQ(run({"export", a}).out, text);

    ok({"import", path("a.txt"), path("b.d")});
    EXPECT_EQ(readText(path("b.d")), readText(a));
    EXPECT_TRUE(exists("b.dev"));

    // A broken text: where, and nothing written.
    writeText(path("bad.txt"), "sysforge source text 1\n9 = 100\n17 = 5\n");
    const auto r = run({"import", path("bad.txt"), path("out.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr(path("bad.txt") + ":3: value out of range"));
    EXPECT_FALSE(exists("out.d") || exists("out.dev"));
}

}  // namespace
}  // namespace sf::e2e
