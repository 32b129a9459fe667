// End-to-end tests of sysforge-cli: each test runs the built tool in a
// scratch folder and checks its output, its exit status and the files it
// leaves behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_e2e/cli_process.h"
#include "source/record.h"
#include "source/schema.h"

namespace sf::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("sysforge-e2e-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    CliResult run(const std::vector<std::string>& args) { return runCli(args, dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // A new source at `name`; fails the test when the tool does not make one.
    std::string newSource(const std::string& name) {
        const auto p = path(name);
        const auto r = run({"new", p});
        EXPECT_EQ(r.status, 0) << r.err;
        return p;
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

    fs::path dir_;
};

TEST_F(Cli, UsageAndCommandLineErrors) {
    auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* cmd : {"new", "get", "set", "choose", "tree", "message", "compile", "search",
                            "rom-names", "list-driver", "convert", "hexdump"})
        EXPECT_THAT(help.out, HasSubstr(cmd));

    EXPECT_EQ(run({}).status, 2);                               // no command
    EXPECT_EQ(run({"frobnicate"}).status, 2);                   // unknown command
    EXPECT_EQ(run({"--hex-prefix=#", "message", "1"}).status, 2);  // unknown prefix
    EXPECT_EQ(run({"get", "only-one-arg"}).status, 2);          // missing arguments
    EXPECT_EQ(run({"message", "--capacity=x", "1"}).status, 2);
    EXPECT_EQ(run({"message", "--bogus=1", "1"}).status, 2);
    auto unknown = run({"frobnicate"});
    EXPECT_THAT(unknown.err, HasSubstr("frobnicate"));
    EXPECT_TRUE(unknown.out.empty());
}

TEST_F(Cli, MessageParsesAndFormats) {
    struct Case {
        std::vector<std::string> args;
        const char* units;
        const char* text;
    };
    const Case cases[] = {
        // No prefix means decimal; all three hexadecimal prefixes are read.
        {{"message", "F0,$43 ; 0x10,&h7F"}, "4000 0043 0010 007F", "$0,$43,$10,$7F"},
        // Tags are matched without case and written as in the table.
        {{"message", "F0H, chk ,CHK"}, "4000 00F5 00F5", "$0,Chk,Chk"},
        // A quoted character keeps its code; a code above 127 (here é, typed as
        // UTF-8 and converted to Windows-1252) gets the high byte 0xFF.
        {{"message", "'A', 'é'"}, "8041 FFE9", "$41,$E9"},
        // Hexadecimal keeps 16 bits, decimal 8 bits.
        {{"message", "$1F0,300"}, "01F0 402C", "$F0,$2C"},
        // Separators only: no unit, two empty lines.
        {{"message", ",, ;"}, "", ""},
        // Only the first N pieces are kept.
        {{"message", "--capacity=2", "1,2,3"}, "4001 4002", "$1,$2"},
        {{"message", "--capacity=0", "1"}, "", ""},
        // The prefix option changes how the text is written.
        {{"--hex-prefix=&H", "message", "$F0,$41,Head,joker,$F7"}, "00F0 0041 00FD 00FE 00F7",
         "&HF0,&H41,Head,Joker,&HF7"},
        {{"--hex-prefix=0x", "message", "$F0,$FF,$F7"}, "00F0 00FF 00F7", "0xF0,,0xF7"},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, 0) << c.args.back();
        EXPECT_EQ(r.out, std::string(c.units) + "\n" + c.text + "\n") << c.args.back();
    }
}

TEST_F(Cli, NewGetSetRoundTripSavesLikeTheEditor) {
    const auto file = newSource("synth.d");
    EXPECT_TRUE(fs::exists(path("synth.dev")));  // a new source is saved as Save does
    EXPECT_EQ(readFile(file).substr(0, 8), "DEV_SRCE");
    EXPECT_EQ(get(file, "9"), "100");
    EXPECT_EQ(get(file, "107:0"), "Module");

    set(file, "9", "113");
    EXPECT_EQ(get(file, "9"), "113");
    EXPECT_TRUE(fs::exists(path("synth.bak")));
    EXPECT_TRUE(fs::exists(path("synth.dev")));
    EXPECT_EQ(readFile(path("synth.dev")).substr(0, 4), "DEV ");

    // Typing the shown text again stores nothing, so nothing is saved.
    fs::remove(path("synth.bak"));
    set(file, "9", " 113 ");
    EXPECT_FALSE(fs::exists(path("synth.bak")));

    // Numbers are clamped to the setting's range, as the tree does.
    set(file, "9", "5");
    EXPECT_EQ(get(file, "9"), "100");
    set(file, "9", "$2710");
    EXPECT_EQ(get(file, "9"), "10000");
}

TEST_F(Cli, SetAndGetConvertAndEscapeText) {
    const auto file = newSource("t.d");
    // Windows-1252 letters come back as UTF-8.
    set(file, "107:0", "Café €");
    EXPECT_EQ(get(file, "107:0"), "Café €");
    // A character Windows-1252 cannot hold becomes "?".
    set(file, "107:0", "Ko日");
    EXPECT_EQ(get(file, "107:0"), "Ko?");
    // Control bytes and the backslash are escaped on output.
    set(file, "107:0", "A\x01" "B\\C");
    EXPECT_EQ(get(file, "107:0"), "A\\x01B\\x5CC");
    // Help line 3 of the driver.
    set(file, "31:3", "third line");
    EXPECT_EQ(get(file, "31:3"), "third line");
    EXPECT_EQ(get(file, "31:2"), "");
}

TEST_F(Cli, ChooseEntriesOfChoiceLists) {
    const auto file = newSource("c.d");
    auto r = run({"choose", file, "108:0", "Only display names (no memory dump)"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(get(file, "108:0"), "Only display names (no memory dump)");
    EXPECT_TRUE(fs::exists(path("c.bak")));

    // Choice list of "Structure": the value of the chosen entry is stored.
    r = run({"choose", file, "176:0", "No structure (save raw data)"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(get(file, "176:0"), "No structure (save raw data)");
    // ... and the data structure is normalised as after any change in the
    // tree: structure 7 forces the totals to 1.
    EXPECT_EQ(get(file, "181:0"), "1");

    // Unknown entry, or a setting without a choice list: usage errors.
    EXPECT_EQ(run({"choose", file, "108:0", "only display names"}).status, 2);
    EXPECT_EQ(run({"choose", file, "9", "Yes"}).status, 2);
}

TEST_F(Cli, DamagedFilesAndBadRefs) {
    writeFile(path("bad.d"), "this is not a driver source");
    auto r = run({"set", path("bad.d"), "9", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Wrong or damaged file!"));
    EXPECT_EQ(readFile(path("bad.d")), "this is not a driver source");  // untouched
    EXPECT_FALSE(fs::exists(path("bad.bak")));

    r = run({"get", path("missing.d"), "9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());

    // A truncated copy of a good source is refused too.
    const auto good = newSource("good.d");
    writeFile(path("cut.d"), readFile(good).substr(0, 3000));
    EXPECT_EQ(run({"get", path("cut.d"), "9"}).status, 1);

    for (const char* ref : {"", "x", "9:", ":1", "9:a", "9:1:2:3", "9 ", "308", "107", "107:16",
                            "107:-1", "9:0", "31", "31:10", "128:0", "128:0:10", "262:0:16",
                            "99999999999"}) {
        const auto bad = run({"get", good, ref});
        EXPECT_EQ(bad.status, 2) << '"' << ref << '"';
        EXPECT_TRUE(bad.out.empty()) << ref;
    }
    EXPECT_EQ(get(good, "128:0:9"), "0");
}

TEST_F(Cli, SetRefusesValuesThatAreNotTyped) {
    const auto file = newSource("s.d");
    fs::remove(path("s.bak"));
    // Chosen from a list, a group heading, a computed total: usage errors,
    // and the file is left alone.
    for (const char* ref : {"11", "108:0", "2", "131:0"}) {
        const auto r = run({"set", file, ref, "1"});
        EXPECT_EQ(r.status, 2) << ref;
        EXPECT_FALSE(r.err.empty()) << ref;
    }
    EXPECT_FALSE(fs::exists(path("s.bak")));
    // A message is typed as its text form.
    set(file, "15", "$F0, $41, chk");
    EXPECT_EQ(get(file, "15"), "$F0,$41,Chk");
}

TEST_F(Cli, DamagedSourcesNeverCrashTheTool) {
    const auto good = readFile(newSource("seed.d"));
    ASSERT_GT(good.size(), 2732u);
    std::vector<std::string> inputs;
    // Module count claims 16 modules, or 0, in a one-module file.
    for (char n : {'\x10', '\x00', '\x7F'}) {
        auto b = good;
        b[12] = 0;
        b[13] = n;
        inputs.push_back(b);
    }
    // Deterministic byte damage all over the file, and truncations.
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < 12; ++i) {
        auto b = good;
        for (int k = 0; k < 16; ++k) b[next() % b.size()] = static_cast<char>(next() >> 16);
        if (i % 3 == 0) b.resize(next() % b.size());
        inputs.push_back(b);
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        writeFile(path("m.d"), inputs[i]);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"tree", path("m.d")},
              std::vector<std::string>{"compile", path("m.d"), path("m.out")},
              std::vector<std::string>{"rom-names", path("m.d"), "0", "0"},
              std::vector<std::string>{"set", path("m.d"), "107:0", "Renamed"}}) {
            const auto r = run(args);
            EXPECT_TRUE(r.status == 0 || r.status == 1)
                << "input " << i << ", " << args[0] << ": status " << r.status << "\n" << r.err;
            if (r.status == 1) {
                EXPECT_FALSE(r.err.empty()) << "input " << i << ", " << args[0];
            }
        }
    }
    // A module count beyond the file's length is refused outright.
    writeFile(path("m.d"), inputs[0]);
    const auto r = run({"tree", path("m.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Wrong or damaged file!"));
}

TEST_F(Cli, TreeListsEveryRow) {
    const auto file = newSource("tree.d");
    auto r = run({"tree", file});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = splitLines(r.out);

    const auto record = sf::newSource();
    const auto rows = buildTreeRows(*record);
    ASSERT_EQ(lines.size(), rows.size());

    bool sawVersion = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto f = splitTabs(lines[i]);
        ASSERT_EQ(f.size(), 7u) << lines[i];
        EXPECT_EQ(f[0], std::to_string(rows[i].depth));
        EXPECT_EQ(f[1], std::to_string(rows[i].ref.id));
        EXPECT_EQ(f[2], std::to_string(rows[i].ref.index1));
        EXPECT_EQ(f[3], std::to_string(rows[i].ref.index2));
        EXPECT_TRUE(f[6] == "0" || f[6] == "1") << lines[i];
        if (rows[i].ref.id == 9) {
            sawVersion = true;
            EXPECT_EQ(f[4], rowLabel(rows[i].ref));
            EXPECT_EQ(f[5], "100");
            EXPECT_EQ(f[6], "1");
        }
    }
    EXPECT_TRUE(sawVersion);

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
    EXPECT_TRUE(fs::exists(path("comp.dev")));

    writeFile(path("junk.d"), std::string(100, '\0'));
    r = run({"compile", path("junk.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Wrong or damaged file!"));
    EXPECT_FALSE(fs::exists(path("junk.dev")));
}

TEST_F(Cli, HexdumpLines) {
    writeFile(path("bytes.bin"), "ABCDEFGHIJKLMNOPQRST");
    auto r = run({"hexdump", path("bytes.bin")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "000  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP\n"
              "016  51 52 53 54                                       QRST\n");

    writeFile(path("empty.bin"), "");
    r = run({"hexdump", path("empty.bin")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");

    EXPECT_EQ(run({"hexdump", path("nothing-here.bin")}).status, 1);
}

TEST_F(Cli, ConvertShowsEveryField) {
    auto r = run({"convert", "--size=8", "unsigned", "200"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "size=16\nsigned=200\nunsigned=200\nhex=C8\nbits=00000000-11001000\nascii=\n"
              "roland=01, 48\nnibbles=C, 8\n");
    EXPECT_EQ(r.err, "");

    // A Roland group above 0x7F beeps and counts as 0.
    r = run({"convert", "roland", "80"});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr("unsigned=0\n"));
    EXPECT_THAT(r.out, HasSubstr("roland=80\n"));  // the typed field stays as typed
    EXPECT_EQ(r.err, "beep\n");

    r = run({"convert", "--decimal-groups", "roland", "1 127"});
    EXPECT_THAT(r.out, HasSubstr("unsigned=255\n"));
    EXPECT_THAT(r.out, HasSubstr("nibbles=15, 15\n"));

    r = run({"convert", "--size=8", "signed", "-1"});
    EXPECT_THAT(r.out, HasSubstr("size=8\n"));
    EXPECT_THAT(r.out, HasSubstr("hex=FFFFFFFF\n"));

    EXPECT_EQ(run({"convert", "octal", "7"}).status, 2);
    EXPECT_EQ(run({"convert", "--size=12", "hex", "7"}).status, 2);
}

TEST_F(Cli, SearchAcrossDrivers) {
    fs::create_directories(dir_ / "lib" / "sub");
    const auto a = path("lib/a.d");
    const auto b = path("lib/b.d");
    const auto c = path("lib/sub/c.d");
    for (const auto& p : {a, b, c}) ASSERT_EQ(run({"new", p}).status, 0);
    set(a, "9", "113");
    set(c, "9", "113");

    auto r = run({"search", path("lib"), a, "9", "same"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], a + "\t-1");
    EXPECT_EQ(lines[1], c + "\t-1");
    EXPECT_EQ(lines[2], "Driver List (2 items out of 3)");

    r = run({"search", path("lib"), a, "9", "different"});
    lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0], b + "\t-1");

    // A module setting reports the module that matched.
    set(b, "103", "3");
    set(b, "107:2", "Drums");
    set(a, "107:0", "Drums");
    r = run({"search", path("lib"), a, "107:0", "same"});
    lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[1], b + "\t2");

    EXPECT_EQ(run({"search", path("lib"), a, "9", "similar"}).status, 2);
}

TEST_F(Cli, RomNamesRoundTrip) {
    const auto file = newSource("rom.d");
    set(file, "256:0", "2");
    set(file, "257:0", "3");
    set(file, "238:0", "8");
    writeFile(path("names.txt"), "Piano\nStrings\nBrass\n");

    auto r = run({"rom-names", file, "0", "1", path("names.txt")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(path("rom.bak")));
    r = run({"rom-names", file, "0", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Piano\r\nStrings\r\nBrass\r\n");

    // Another sub-bank is untouched.
    r = run({"rom-names", file, "0", "0"});
    EXPECT_EQ(r.out, "");

    EXPECT_EQ(run({"rom-names", file, "0", "16"}).status, 2);
    EXPECT_EQ(run({"rom-names", file, "x", "0"}).status, 2);
}

TEST_F(Cli, ListDriverGenerator) {
    const auto out = path("list.d");
    auto r = run({"list-driver", "--name=Synth", "--name-length=4", "--columns=0", "--rows=200",
                  "--bank=0:Bank A:1:0", "--bank=2:Bank C:3:64", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(path("list.dev")));
    EXPECT_EQ(get(out, "108:0"), "Only display names (no memory dump)");
    EXPECT_EQ(get(out, "233:0"), "1");
    EXPECT_EQ(get(out, "235:0"), "128");
    EXPECT_EQ(get(out, "238:0"), "8");
    EXPECT_EQ(get(out, "257:0"), "128");
    EXPECT_EQ(get(out, "256:0"), "2");
    EXPECT_EQ(get(out, "262:0:0"), "Bank A");
    EXPECT_EQ(get(out, "262:0:2"), "Bank C");

    // Nothing to create: status 1, a reason, no file.
    r = run({"list-driver", "--name=", "--bank=0:A:0:0", path("none.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(fs::exists(path("none.d")));
    r = run({"list-driver", "--name=X", "--bank=1:A:0:0", path("none.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(path("none.d")));

    EXPECT_EQ(run({"list-driver", "--name=X", "--bank=16:A:0:0", path("none.d")}).status, 2);
    EXPECT_EQ(run({"list-driver", "--name=X", "--bank=0:A", path("none.d")}).status, 2);
}

}  // namespace
}  // namespace sf::e2e
