// End-to-end tests of the commands that talk to the instrument: resolve
// prints what a message sends without any MIDI port.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_e2e/cli_fixture.h"

namespace sf::e2e {
namespace {

class CliInstrument : public CliScratchTest {
  protected:
    CliInstrument() : CliScratchTest("sysforge-e2e-instrument-") {}
    void ok(const std::vector<std::string>& args) {
        const auto r = run(args);
        ASSERT_EQ(r.status, 0) << ::testing::PrintToString(args) << r.err;
    }
};

TEST_F(CliInstrument, ResolvePrintsEachStepAndNamesAMissingValue) {
    const std::string d = path("synth.d");
    ok({"new", d});
    ok({"set", d, "15", "$F0,$41,Chan,$16"});
    ok({"set", d, "23", "31"});
    ok({"set", d, "24", "16"});
    ok({"choose", d, "27", "2nd complement (-sum & 127)"});
    ok({"set", d, "28", "5"});
    ok({"set", d, "158:0", "08 00 00"});
    ok({"set", d, "160:0", "00 01 00"});
    ok({"set", d, "205:0", "Head,$11,Adr,Len,Chk,$F7,Wait100,AddNext,$C0,X1"});

    auto r = run({"resolve", d, "205:0", "--var", "X1=0x7"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "F0 41 10 16 11 08 00 00 00 01 00 77 F7\npause 100 ms\nC7\n");

    r = run({"resolve", d, "205:0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "X1: no value given\n");

    r = run({"resolve", d, "205:0", "--var", "X9=1"});
    EXPECT_EQ(r.status, 2);
    r = run({"resolve", d, "107:0"});
    EXPECT_EQ(r.status, 2) << "a name is not a message";
}

}  // namespace
}  // namespace sf::e2e
