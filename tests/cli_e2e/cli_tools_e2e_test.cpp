// End-to-end tests of the driver author's tools in sysforge-cli: check,
// diff, export and import, run as a script or CI job would run them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_e2e/cli_fixture.h"
#include "cli_e2e/cli_process.h"

namespace sf::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Args = std::vector<std::string>;

class CliTools : public CliScratchTest {
  protected:
    CliTools() : CliScratchTest("sysforge-e2e-tools-") {}

    void ok(const Args& args) {
        const auto r = run(args);
        ASSERT_EQ(r.status, 0) << ::testing::PrintToString(args) << r.err;
    }
    // A driver that the checker finds nothing in.
    std::string namedSource(const std::string& name, const std::string& fileName) {
        const std::string p = path(name);
        ok({"new", p});
        ok({"set", p, "4", "Synth"});
        ok({"set", p, "6", fileName});
        ok({"set", p, "8", "SYN"});
        return p;
    }
};

TEST_F(CliTools, CheckPrintsFindingsAndAnswersBySeverity) {
    const std::string fresh = path("fresh.d");
    ok({"new", fresh});
    auto r = run({"check", fresh});
    EXPECT_EQ(r.status, 3);
    const auto lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_THAT(lines[0], ::testing::StartsWith(fresh + "\twarning\t4\t"));

    const std::string clean = namedSource("clean.d", "CLEAN");
    r = run({"check", clean});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");

    const std::string reserved = namedSource("reserved.d", "GENERIC");
    writeFile(path("broken.d"), "not a driver");
    r = run({"check", clean, reserved, path("broken.d")});
    EXPECT_EQ(r.status, 4);
    EXPECT_THAT(r.out, HasSubstr(reserved + "\terror\t6\t"));
    EXPECT_THAT(r.out, HasSubstr(path("broken.d") + "\terror\t-\tWrong or damaged file!"));
    EXPECT_EQ(run({"check"}).status, 2);
}

TEST_F(CliTools, CheckFindsDriversThatCollide) {
    const std::string a = namedSource("a.d", "SAME");
    fs::create_directories(dir_ / "lib");
    namedSource("lib/b.d", "SAME");
    auto r = run({"check", a});
    EXPECT_EQ(r.status, 0);
    r = run({"check", "--root=" + path("lib"), a});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.out, HasSubstr("same file name"));
    r = run({"check", a, path("lib/b.d")});
    EXPECT_EQ(splitLines(r.out).size(), 2u) << r.out;
}

TEST_F(CliTools, DiffListsDifferingRowsAndAnswersLikeDiff) {
    const std::string a = namedSource("a.d", "A");
    const std::string b = namedSource("b.d", "A");
    auto r = run({"diff", a, b});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    ok({"set", b, "9", "113"});
    ok({"set", b, "107:0", "Voice"});
    r = run({"diff", a, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "9\tGeneral settings / Identification / Driver version\t100\t113\n"
              "107:0\tModule 1 / Global settings / Name\tModule\tVoice\n");
    EXPECT_EQ(run({"diff", a}).status, 2);
}

TEST_F(CliTools, ExportAndImportGiveTheSameFile) {
    const std::string a = namedSource("a.d", "A");
    ok({"set", a, "15", "$F0, $43"});
    ok({"set", a, "262:0:0", "Bank\\x01"});
    ok({"export", a, path("a.txt")});
    const std::string text = readFile(path("a.txt"));
    EXPECT_THAT(text, HasSubstr("15 = $F0, $43\n"));
    const auto out = run({"export", a});
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out, text);

    ok({"import", path("a.txt"), path("b.d")});
    EXPECT_EQ(readFile(path("b.d")), readFile(a));
    EXPECT_TRUE(fs::exists(dir_ / "b.dev"));
    ok({"export", path("b.d"), path("b.txt")});
    EXPECT_EQ(readFile(path("b.txt")), text);
}

TEST_F(CliTools, ImportOfABrokenTextSaysWhereAndWritesNothing) {
    writeFile(path("bad.txt"), "sysforge source text 1\n9 = 100\n17 = 5\n");
    const auto r = run({"import", path("bad.txt"), path("out.d")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr(path("bad.txt") + ":3: value out of range"));
    EXPECT_FALSE(fs::exists(dir_ / "out.d"));
    EXPECT_FALSE(fs::exists(dir_ / "out.dev"));
}

}  // namespace
}  // namespace sf::e2e
