// The driver checker: each rule on a source that breaks it and on one that keeps it.
#include "tools/drivercheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "driver/compiler.h"
#include "source/romnames.h"
#include "source/valuetext.h"
#include "support/random_record.h"
#include "tools/settingbytes.h"

namespace sf {
namespace {

using ::testing::HasSubstr;
using Edit = std::function<void(SourceRecord&)>;

void type(SourceRecord& r, const SettingRef& ref, const std::string& text) {
    ASSERT_NE(parseValue(r, ref, text), ParseResult::NotStored) << ref.id << " " << text;
    if (ref.id >= 175 && ref.id <= 192) normaliseStructure(r, ref.index1);
}

std::string describe(const std::vector<Finding>& findings) {
    std::string s;
    for (const auto& f : findings)
        s += std::string(severityName(f.severity)) + " " + refText(f.ref) + " " + f.text + "\n";
    return s;
}

// A named driver with one module that dumps memory and displays names, laid
// out consistently: two sub-banks of 32 patches shown on an 8 x 8 bank.
std::unique_ptr<SourceRecord> cleanSource() {
    auto r = newSource();
    applyChoice(*r, makeRef(108, 0), 70);
    const std::pair<int, const char*> values[] = {
        {4, "Synth"}, {6, "SYNTH"}, {8, "SYN"}, {256, "2"}, {257, "32"}, {181, "64"},
        {182, "128"}, {291, "200"}, {233, "8"}, {235, "8"}, {238, "8"}};
    for (auto [id, text] : values) type(*r, makeRef(id, id > 103 ? 0 : -1), text);
    return r;
}

// Sub-bank 2 of module 1 as a ROM sub-bank with `names` names.
Edit romNames(int names) {
    return [=](SourceRecord& r) {
        applyChoice(r, makeRef(261, 0, 1), 72);
        std::string text;
        for (int i = 0; i < names; ++i) text += "Patch " + std::to_string(i) + "\r\n";
        storeRomNames(r, 0, 1, *parseRomNames(text, names, 8, 0, false).block);
    };
}

// A macro editor with `templates` byte templates and one macro whose single
// parameter uses template `use` at `offset`.
Edit macros(int templates, int use, int offset, int from = 0, int to = 127) {
    return [=](SourceRecord& r) {
        applyChoice(r, makeRef(114, 0), 61);
        r.setModU16(0, rec::kModTemplateCount, static_cast<std::uint16_t>(templates));
        Block t(static_cast<std::size_t>(templates) * 28, 0);
        for (int i = 0; i < templates; ++i) t[static_cast<std::size_t>(i) * 28] = 1;
        if (templates > 0) r.block(0, rec::kSlotTemplates) = t;
        Block m(2 + 4 + 36 + 8, 0);
        using P = std::pair<std::size_t, int>;
        for (auto [at, v] : {P{0, 1}, P{6, 44}, P{36, from}, P{38, to}, P{40, 1}, P{42, 8},
                             P{44, use}, P{46, offset}})
            putLE16(m, at, static_cast<std::uint16_t>(v));
        putLE32(m, 2, 6);
        m[6 + 6] = 0xFF;
        r.block(0, rec::kSlotMacros) = m;
    };
}

// `operations` converter operations of 10 bytes each.
Edit ops(int operations) {
    return [=](SourceRecord& r) {
        r.setModU16(0, rec::kModConverterCount, static_cast<std::uint16_t>(operations));
        Block ops(static_cast<std::size_t>(operations) * 10, 0);
        for (int i = 0; i < operations; ++i) ops[static_cast<std::size_t>(i) * 10] = 1;
        r.block(0, rec::kSlotConverter) = ops;
    };
}

// Edits typing a text or choosing an entry (module settings of module 1), and several.
Edit t(int id, const char* text, int i2 = -1) {
    return [=](SourceRecord& r) { type(r, makeRef(id, id > 103 ? 0 : -1, i2), text); };
}
Edit c(int id, int command, int i2 = -1) {
    return [=](SourceRecord& r) { applyChoice(r, makeRef(id, id > 103 ? 0 : -1, i2), command); };
}
Edit all(std::vector<Edit> edits) {
    return [=](SourceRecord& r) {
        for (const Edit& e : edits) e(r);
    };
}
Edit templateBits(std::uint8_t count) {  // a template from bit 10 on
    return all({macros(1, 0, 0), [=](SourceRecord& r) {
                    Block& t = *r.block(0, rec::kSlotTemplates);
                    t[0] = 3, t[1] = 10, t[2] = count;
                }});
}
Edit macroFilter(std::uint16_t reference) {
    return all({macros(1, 0, 0),
                [=](SourceRecord& r) { r.setModU16(0, rec::kModMacroFilter, reference); }});
}
Edit patchInfo(std::uint16_t reference) {
    return all({macros(1, 0, 0), [=](SourceRecord& r) {
                    Block info(1040, 0xFF);
                    if (reference != 0xFFFF) putLE16(info, 2, reference);
                    r.block(0, rec::kSlotPatchInfo) = info;
                }});
}
const Edit nothing = [](SourceRecord&) {};

TEST(DriverCheck, EachRuleOnABreakingAndAKeepingSource) {
    const Severity E = Severity::Error, W = Severity::Warning;
    const Edit header = c(288, 61), twoModules = t(103, "2");
    const Edit secondName = [](SourceRecord& r) { type(r, makeRef(107, 1), "Perf"); };
    const std::tuple<Edit, Edit, SettingRef, Severity, const char*> rules[] = {
        {[](auto& r) { r.setText(rec::moduleBase(0), 17, ""); }, nothing, makeRef(107, 0), E,
         "neither saved nor compiled"},
        {[](auto& r) { r.setU16(rec::kModuleCount, 2); }, twoModules, makeRef(107, 1), E,
         "Module 2 has no name"},
        {t(6, "LIST_A"), t(6, "MYLIST"), makeRef(6), E, "reserved"},
        {t(6, "MY SYN"), t(6, "MY_SYN"), makeRef(6), W, "space"},
        {ops(6500), ops(3000), makeRef(260, 0, 0), E, "beyond the 64 KB"},
        {ops(5900), ops(5000), makeRef(305, 0), W, "within 10%"},
        {t(235, "7"), t(235, "9"), makeRef(232, 0), E, "56 places for the 64"},
        {t(291, "127"), t(291, "128"), makeRef(291, 0), E, "at least 128"},
        {all({header, t(292, "$F0, $43, Chan, $F7"), t(291, "130")}),
         all({header, t(292, "$F0, $43"), t(291, "131")}), makeRef(291, 0), E, "3 header bytes"},
        {t(181, "60"), all({t(181, "60"), t(263, "4", 1)}), makeRef(181, 0), W, "hold 64"},
        {t(263, "40", 0), nothing, makeRef(263, 0, 0), W, "unused"},
        {romNames(30), romNames(32), makeRef(265, 0, 1), E, "30 names"},
        {romNames(33), romNames(32), makeRef(265, 0, 1), E, "longer"},
        {c(261, 72, 1), c(261, 71, 1), makeRef(265, 0, 1), W, "no patch names"},
        {macros(2, 2, 0), macros(3, 2, 0), makeRef(307, 0), E, "template 3, but the module has 2"},
        {macros(1, 0, 0, 10, 5), macros(1, 0, 0, 5, 10), makeRef(307, 0), W, "swap"},
        {macros(1, 0, 128), macros(1, 0, 127), makeRef(307, 0), E, "beyond the 128-byte patch"},
        {templateBits(7), templateBits(6), makeRef(307, 0), E, "bits 10 to 16"},
        {macroFilter(1), macroFilter(0), makeRef(307, 0), E, "macro filter"},
        {patchInfo(4), patchInfo(0xFFFF), makeRef(307, 0), E, "descriptor 2"},
        {all({t(22, "5"), c(19, 71)}), c(19, 71), makeRef(22), W, "disabled"},
        {t(150, "10"), all({t(150, "10"), t(151, "2")}), makeRef(151, 0), E, "must not be 0"},
        {t(49, "2"), all({twoModules, secondName, t(49, "2")}), makeRef(49), E, "names no module"},
        {all({c(121, 71), t(134, "$F0, $43, $F7")}),
         all({c(121, 71), t(134, "$F0, $43, Joker, $F7")}), makeRef(134, 0), E, "Joker"},
        {[](auto& r) { r.setU16(216, 100); }, [](auto& r) { r.setU16(216, 500); }, makeRef(17), W,
         "range 500 to 30000"}};
    for (const auto& [breaks, keeps, ref, severity, says] : rules) {
        auto broken = cleanSource();
        breaks(*broken);
        const auto found = checkDriver(*broken);
        const bool hit =
            std::any_of(found.begin(), found.end(),
                        [&, &ref = ref, &says = says, severity = severity](const Finding& f) {
                            return f.ref.id == ref.id && f.ref.index1 == ref.index1 &&
                                   f.ref.index2 == ref.index2 && f.severity == severity &&
                                   f.text.find(says) != std::string::npos;
                        });
        EXPECT_TRUE(hit) << says << ":\n" << describe(found);

        auto kept = cleanSource();
        keeps(*kept);
        EXPECT_EQ(describe(checkDriver(*kept)), "") << says;
    }
}

TEST(DriverCheck, FindingsInTreeOrderWithTheirDriverTextsEscaped) {
    const auto ids = [](const std::vector<Finding>& found) {
        std::vector<int> out;
        for (const Finding& f : found) out.push_back(f.ref.id);
        return out;
    };
    // A new source misses only its names, and they are warnings.
    const auto fresh = checkDriver(*newSource());
    EXPECT_EQ(ids(fresh), (std::vector<int>{4, 6, 8}));
    EXPECT_EQ(describe(fresh).find("Error"), std::string::npos) << describe(fresh);
    auto r = cleanSource();
    r->setU16(216, 100);              // 17, global
    type(*r, makeRef(291, 0), "10");  // module row
    r->setText(16, 17, "");           // 4, first row of the tree
    EXPECT_EQ(ids(checkDriver(*r)), (std::vector<int>{4, 17, 291})) << describe(checkDriver(*r));
    type(*r, makeRef(6), "A B\x1B\n");
    EXPECT_NE(describe(checkDriver(*r)).find("\"A B\\x1B\\x0A\""), std::string::npos);
}

TEST(DriverCheck, FileNamesThatCollideInTheLibrary) {
    auto a = cleanSource(), b = cleanSource(), c = cleanSource();
    type(*c, makeRef(6), "OTHER");
    DriverNameIndex index, alone;
    index.add("/lib/a/SYNTH.d", driverFileName(*a));
    index.add("/lib/b/KEYS.d", driverFileName(*b));   // same driver file name as a
    index.add("/lib/c/SYNTH.d", driverFileName(*c));  // same source file name as a
    alone.add("/lib/a/SYNTH.d", driverFileName(*a));
    EXPECT_EQ(index.collisions("/lib/a/SYNTH.d", driverFileName(*a)).size(), 2u);
    const auto forB = index.collisions("/lib/b/KEYS.d", driverFileName(*b)),
               forC = index.collisions("/lib/c/SYNTH.d", driverFileName(*c));
    ASSERT_TRUE(forB.size() == 1 && forC.size() == 1);
    EXPECT_THAT(forB[0].text, HasSubstr("same file name"));
    EXPECT_THAT(forC[0].text, HasSubstr("same \".dev\""));
    EXPECT_TRUE(alone.collisions("/lib/a/SYNTH.d", driverFileName(*a)).empty());
}

TEST(DriverCheck, SavingADriverWithErrorsAsksOnce) {
    RecordingPrompter prompter;
    EXPECT_TRUE(confirmSaveDespiteErrors(*newSource(), prompter));  // warnings only
    EXPECT_TRUE(prompter.messages.empty());
    auto broken = newSource();
    type(*broken, makeRef(6), "GENERIC");
    type(*broken, makeRef(49), "3");
    prompter.answers = {Answer::No};
    EXPECT_FALSE(confirmSaveDespiteErrors(*broken, prompter));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_THAT(prompter.messages[0].text, HasSubstr("The driver has 2 errors"));
    EXPECT_THAT(prompter.messages[0].text, HasSubstr("reserved"));
    EXPECT_TRUE(confirmSaveDespiteErrors(*broken, prompter));  // answered Yes
}

// Every stale value the checker reports really reaches the compiled driver:
// putting the new source's value back changes the driver.
TEST(DriverCheck, StaleValuesReallyReachTheDriver) {
    const auto fresh = newSource();
    int reported = 0;
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        auto r = testsupport::randomRecord(seed, 2);
        const auto base = compileDriver(*r);
        ASSERT_TRUE(base.ok());
        for (const Finding& f : checkDriver(*r)) {
            if (f.text.find("disabled") == std::string::npos) continue;
            ++reported;
            auto work = copyRecord(*r);
            copyRowValue(*work, *fresh, *rowBytes(f.ref));
            EXPECT_NE(compileDriver(*work).image, base.image) << refText(f.ref) << " seed " << seed;
        }
    }
    EXPECT_GT(reported, 20);
}

}  // namespace
}  // namespace sf
