// End-to-end test of "sysforge-cli analyse": a driver made with the tool
// itself, a dump written byte by byte.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli_e2e/cli_fixture.h"
#include "cli_e2e/cli_process.h"

namespace sf::e2e {
namespace {

using ::testing::HasSubstr;
using Args = std::vector<std::string>;

class CliAnalyse : public CliScratchTest {
  protected:
    CliAnalyse() : CliScratchTest("sysforge-e2e-analyse-") {}

    void ok(const Args& args) {
        const auto r = run(args);
        ASSERT_EQ(r.status, 0) << ::testing::PrintToString(args) << r.err;
    }
    void write(const std::string& name, const std::vector<unsigned char>& bytes) {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
};

TEST_F(CliAnalyse, LinesJsonAndExitStatus) {
    // One patch of 4 bytes per message, named by its first 2 bytes.
    const std::string d = path("k.d");
    ok({"new", d});
    ok({"choose", d, "108:0", "Dump memory and display patch names"});
    ok({"set", d, "224:0", "$F0,$43,$10"});
    ok({"set", d, "177:0", "3"});
    ok({"set", d, "181:0", "2"});
    ok({"set", d, "182:0", "4"});
    ok({"set", d, "238:0", "2"});
    ok({"set", d, "256:0", "1"});
    ok({"set", d, "257:0", "2"});
    write("two.syx",
          {0xF0, 0x43, 0x10, 'A', 'b', 1, 2, 0xF7, 0xF0, 0x43, 0x10, 'C', 'd', 3, 4, 0xF7});

    auto r = run({"analyse", d, "0", path("two.syx")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "message 1\t0\t8\theader #1\tdata 3+4\tno checksum\n"
              "message 2\t8\t8\theader #1\tdata 11+4\tno checksum\n"
              "patch 1\tSub-bank #1\t1\t3\t4\t4\tnone\t\"Ab\"\n"
              "patch 2\tSub-bank #1\t2\t11\t4\t4\tnone\t\"Cd\"\n");

    r = run({"analyse", "--json", d, "0", path("two.syx")});
    EXPECT_EQ(r.status, 0);
    for (const char* key :
         {"\"messages\": [", "\"patches\": [", "\"findings\": []", "\"name\": \"Cd\""})
        EXPECT_THAT(r.out, HasSubstr(key));

    // One patch too few: a finding, status 3; its REF names the setting.
    write("one.syx", {0xF0, 0x43, 0x10, 'A', 'b', 1, 2, 0xF7});
    r = run({"analyse", d, "0", path("one.syx")});
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(
        r.out,
        HasSubstr("finding\t181:0\tThe dump holds 1 patch; Total number of patches says 2\n"));

    EXPECT_EQ(run({"analyse", d, "0", path("missing.syx")}).status, 1);
    EXPECT_EQ(run({"analyse", d, "1", path("one.syx")}).status, 2);  // one module only
    EXPECT_EQ(run({"analyse", d, "x", path("one.syx")}).status, 2);
    EXPECT_EQ(run({"analyse", "--json=1", d, "0", path("one.syx")}).status, 2);
}

}  // namespace
}  // namespace sf::e2e
