#include "instrument/resolve.h"

#include <gtest/gtest.h>

#include "support.h"

using namespace sf;
using sf::test::Driver;

namespace {

// Resolves `text` typed as a message (capacity 60) against the driver.
ResolvedMessage resolve(const Driver& d, const std::string& text, const SendContext& c = {},
                        int module = 0) {
    std::vector<MessageUnit> units(60);
    units.resize(static_cast<std::size_t>(parseMessage(text, units, 60)));
    return resolveMessage(units, sendSettings(*d.record, module), c);
}

std::string hexOf(const ResolvedMessage& m) {
    return m.ok() ? hexBytes(m.bytes()) : "error: " + m.error;
}

}  // namespace

TEST(Resolve, RolandRequestWithAddressLengthAndChecksum) {
    Driver d;  // ID 16; 2nd complement checksum from the byte after the command
    d.set(15, "$F0,$41,Chan,$16").set(24, "16").set(23, "31").choose(27, 72).set(28, "5");
    d.set(158, "08 00 00", 0).set(159, "00 01 00", 0).set(160, "00 01 00", 0);
    SendContext c;
    EXPECT_EQ(hexOf(resolve(d, "Head,$11,Adr,Len,Chk,$F7", c)),
              "F0 41 10 16 11 08 00 00 00 01 00 77 F7");
    // The third request: the address moved on by twice the offset.
    c.requestIndex = 2;
    EXPECT_EQ(hexOf(resolve(d, "Head,$11,Adr,Len,Chk,$F7", c)),
              "F0 41 10 16 11 08 02 00 00 01 00 75 F7");
    // An address past 21 bits takes a fourth group.
    d.set(158, "7F 7F 7F", 0).set(159, "00 00 01", 0);
    c.requestIndex = 1;
    EXPECT_EQ(hexOf(resolve(d, "Adr", c)), "01 00 00 00");
}

TEST(Resolve, ChecksumsCountFromTheF0HoldingThemAndGoHighPartFirst) {
    Driver d;
    d.set(28, "1").choose(27, 73);  // word shift: two 7-bit parts
    // 7F+7F+7F = 0x17D: high part 02, low part 7D; the first SysEx is not summed.
    EXPECT_EQ(hexOf(resolve(d, "$F0,$01,$F7,$F0,$7F,$7F,$7F,Chk,$F7")),
              "F0 01 F7 F0 7F 7F 7F 02 7D F7");
    d.choose(27, 71).set(29, "$10");  // regular checksum with an initial value
    EXPECT_EQ(hexOf(resolve(d, "$F0,$7F,$01,Chk,$F7")), "F0 7F 01 10 F7");
    // A start beyond the tag sums nothing but the initial value.
    d.set(28, "20");
    EXPECT_EQ(hexOf(resolve(d, "$F0,$7F,$01,Chk,$F7")), "F0 7F 01 10 F7");
}

TEST(Resolve, ChannelStatusDeviceIdAndValuesAbove127) {
    Driver d;
    d.choose(19, 71);  // Type ID: MIDI Channel
    SendContext c;
    c.chan = 10;
    c.joker = 5;
    EXPECT_EQ(hexOf(resolve(d, "AddNext,$C0,Chan,Joker", c)), "C9 05");
    EXPECT_EQ(hexOf(resolve(d, "$F0,$43,AddNext,$10,Chan,$F7", c)), "F0 43 19 F7");
    c.chan = 17;
    EXPECT_EQ(hexOf(resolve(d, "Chan", c)), "error: Chan: the MIDI channel must be 1 to 16");
    c.chan.reset();
    EXPECT_EQ(hexOf(resolve(d, "$C0,Chan", c)), "error: Chan: no MIDI channel given");
    // A status byte beyond $FF is refused, not cut.
    c.chan = 1;
    EXPECT_FALSE(resolve(d, "AddNext,$F0,$20", c).ok());

    // Sysex ID: the default, and any ID held within Min..Max.
    d.choose(19, 70).set(22, "2").set(23, "20").set(24, "7");
    EXPECT_EQ(hexOf(resolve(d, "Chan")), "07");
    c.chan = 40;
    EXPECT_EQ(hexOf(resolve(d, "Chan", c)), "14");
    c.chan = 0;
    EXPECT_EQ(hexOf(resolve(d, "Chan", c)), "02");

    // Values above 127 in each form.
    const struct {
        int command, joker;
        const char* bytes;
    } cases[] = {{70, 300, "2C"},    {71, 300, "2C 02"}, {72, 300, "02 2C"},
                 {73, 200, "08 0C"}, {74, 200, "0C 08"}, {74, 127, "7F"}};
    for (const auto& k : cases) {
        d.choose(16, k.command);
        c.joker = k.joker;
        EXPECT_EQ(hexOf(resolve(d, "Joker", c)), k.bytes) << k.command;
    }
    c.joker = 300;  // two nibbles cannot hold it
    EXPECT_EQ(hexOf(resolve(d, "Joker", c)), "error: Joker: the value 300 cannot be sent");
}

TEST(Resolve, HeadWithJokerAndArithmetic) {
    Driver d;
    d.set(15, "$F0,$42,AddNext,$30,Chan,$19").set(24, "3");
    SendContext c;
    c.joker = 0x10;
    EXPECT_EQ(hexOf(resolve(d, "Head,Joker,$F7", c)), "F0 42 33 19 10 F7");
    c.x1 = 2;
    c.x2 = 3;
    EXPECT_EQ(hexOf(resolve(d, "MulAdd,X1,$10,X2", c)), "23");
    EXPECT_EQ(hexOf(resolve(d, "MulNext,AddNext,X1,$1,X2", c)), "09");
    EXPECT_EQ(hexOf(resolve(d, "AddNext,$1")),
              "error: AddNext: the message ends before its 2 values");
    EXPECT_EQ(hexOf(resolve(d, "AddNext,Adr,$1")),
              "error: Adr cannot be a value of AddNext, MulNext or MulAdd");
    d.set(15, "$F0,Head");
    EXPECT_FALSE(resolve(d, "Head").ok());

    // The device ID put at its place in the header, under its mask.
    d.set(15, "$F0,$41,$30,$16").set(20, "2").set(21, "$0F").set(23, "15").set(24, "5");
    EXPECT_EQ(hexOf(resolve(d, "$F7,Head,$11,$F7")), "F7 F0 41 35 16 11 F7");
    c.chan = 9;
    EXPECT_EQ(hexOf(resolve(d, "Head", c)), "F0 41 39 16");
}

TEST(Resolve, MissingValuesAreNamedAndNothingIsSent) {
    Driver d;
    d.set(15, "$F0,Chan");
    for (const char* name : contextVariableNames()) {
        if (std::string(name) == "Chan") continue;  // has the driver's default
        const ResolvedMessage m = resolve(d, std::string("$F0,") + name + ",$F7");
        EXPECT_EQ(m.error, std::string(name) + ": no value given");
        EXPECT_TRUE(m.steps.empty());
    }
    // The variables a message needs, the header's among them, in list order.
    std::vector<MessageUnit> units(40);
    units.resize(std::size_t(parseMessage("Joker,Head,X2,V1,X1,Adr,Chk,SizePack", units, 40)));
    const std::vector<std::string> needed = {"Chan", "X1", "X2", "V1", "Joker", "SizePack"};
    EXPECT_EQ(neededVariables(units, sendSettings(*d.record, 0)), needed);
}

TEST(Resolve, PausesWaitsAndFlushSplitTheBytes) {
    Driver d;
    d.set(17, "2500");
    const ResolvedMessage m = resolve(d, "$F0,$01,Wait100,WaitEox,$F7,WaitSox,Flush,$FF,Wait20000");
    ASSERT_TRUE(m.ok());
    using K = SendStep::Kind;
    const std::vector<SendStep> expected = {{K::Bytes, {0xF0, 0x01}, 0},   {K::Pause, {}, 100},
                                            {K::WaitSysexEnd, {}, 2500},   {K::Bytes, {0xF7}, 0},
                                            {K::WaitSysexStart, {}, 2500}, {K::Flush, {}, 0},
                                            {K::Pause, {}, 20000}};
    EXPECT_EQ(m.steps, expected);
    // A time-out below a second is carried as a second, as in the driver.
    d.set(17, "500");
    EXPECT_EQ(resolve(d, "WaitSox").steps.at(0).ms, 1000);
}
