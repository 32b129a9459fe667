// The driver checker: each rule on a source that breaks it and on one that
// keeps it, and no finding on clean sources but the missing names of a new one.
#include "tools/drivercheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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
    type(*r, makeRef(4), "Synth");
    type(*r, makeRef(6), "SYNTH");
    type(*r, makeRef(8), "SYN");
    applyChoice(*r, makeRef(108, 0), 70);
    type(*r, makeRef(256, 0), "2");
    type(*r, makeRef(257, 0), "32");
    type(*r, makeRef(181, 0), "64");
    type(*r, makeRef(182, 0), "128");
    type(*r, makeRef(291, 0), "200");
    type(*r, makeRef(233, 0), "8");
    type(*r, makeRef(235, 0), "8");
    type(*r, makeRef(238, 0), "8");
    return r;
}

// Sub-bank 2 of module 1 as a ROM sub-bank with `names` names.
void romSubBank(SourceRecord& r, int names) {
    applyChoice(r, makeRef(261, 0, 1), 72);
    std::string text;
    for (int i = 0; i < names; ++i) text += "Patch " + std::to_string(i) + "\r\n";
    storeRomNames(r, 0, 1, *parseRomNames(text, names, 8, 0, false).block);
}

// A macro editor with `templates` byte templates and one macro whose single
// parameter uses template `use` at `offset`.
void macroEditor(SourceRecord& r, int templates, int use, int offset, int from = 0, int to = 127) {
    applyChoice(r, makeRef(114, 0), 61);
    r.setModU16(0, rec::kModTemplateCount, static_cast<std::uint16_t>(templates));
    Block t(static_cast<std::size_t>(templates) * 28, 0);
    for (int i = 0; i < templates; ++i) t[static_cast<std::size_t>(i) * 28] = 1;
    if (templates > 0) r.block(0, rec::kSlotTemplates) = t;
    Block m(2 + 4 + 36 + 8, 0);
    putLE16(m, 0, 1);
    putLE32(m, 2, 6);
    putLE16(m, 6, 44);
    m[6 + 6] = 0xFF;
    putLE16(m, 6 + 30, static_cast<std::uint16_t>(from));
    putLE16(m, 6 + 32, static_cast<std::uint16_t>(to));
    putLE16(m, 6 + 34, 1);
    putLE16(m, 42, 8);
    putLE16(m, 44, static_cast<std::uint16_t>(use));
    putLE16(m, 46, static_cast<std::uint16_t>(offset));
    r.block(0, rec::kSlotMacros) = m;
}

// Converter operations of `bytes` bytes in all.
void converter(SourceRecord& r, int operations) {
    r.setModU16(0, rec::kModConverterCount, static_cast<std::uint16_t>(operations));
    Block ops(static_cast<std::size_t>(operations) * 10, 0);
    for (int i = 0; i < operations; ++i) ops[static_cast<std::size_t>(i) * 10] = 1;
    r.block(0, rec::kSlotConverter) = ops;
}

TEST(DriverCheck, CleanSourcesGiveNoFinding) {
    EXPECT_EQ(describe(checkDriver(*cleanSource())), "");
    auto r = cleanSource();
    romSubBank(*r, 32);
    macroEditor(*r, 2, 1, 100);
    converter(*r, 100);
    EXPECT_EQ(describe(checkDriver(*r)), "");
}

TEST(DriverCheck, NewSourceGivesOnlyItsMissingNames) {
    const auto findings = checkDriver(*newSource());
    std::vector<int> ids;
    for (const auto& f : findings) {
        EXPECT_EQ(f.severity, Severity::Warning) << f.text;
        ids.push_back(f.ref.id);
    }
    EXPECT_EQ(ids, (std::vector<int>{4, 6, 8}));
}

struct Rule {
    const char* name;
    Edit breaks;
    Edit keeps;
    SettingRef ref;
    Severity severity;
    const char* says;
};

TEST(DriverCheck, EachRuleOnABreakingAndAKeepingSource) {
    const Rule rules[] = {
        {"no named module", [](auto& r) { r.setText(rec::moduleBase(0), 17, ""); }, [](auto&) {},
         makeRef(107, 0), Severity::Error, "neither saved nor compiled"},
        {"module in use without name", [](auto& r) { r.setU16(rec::kModuleCount, 2); },
         [](auto& r) { type(r, makeRef(103), "2"); }, makeRef(107, 1), Severity::Error,
         "Module 2 has no name"},
        {"reserved file name", [](auto& r) { type(r, makeRef(6), "LIST_A"); },
         [](auto& r) { type(r, makeRef(6), "MYLIST"); }, makeRef(6), Severity::Error, "reserved"},
        {"space in file name", [](auto& r) { type(r, makeRef(6), "MY SYN"); },
         [](auto& r) { type(r, makeRef(6), "MY_SYN"); }, makeRef(6), Severity::Warning, "space"},
        {"block beyond 64 KB", [](auto& r) { converter(r, 6500); },
         [](auto& r) { converter(r, 3000); }, makeRef(260, 0, 0), Severity::Error,
         "beyond the 64 KB"},
        {"block near 64 KB", [](auto& r) { converter(r, 5900); },
         [](auto& r) { converter(r, 5000); }, makeRef(305, 0), Severity::Warning, "within 10%"},
        {"bank style too small", [](auto& r) { type(r, makeRef(235, 0), "7"); },
         [](auto& r) { type(r, makeRef(235, 0), "9"); }, makeRef(232, 0), Severity::Error,
         "56 places for the 64"},
        {"buffer below a patch", [](auto& r) { type(r, makeRef(291, 0), "127"); },
         [](auto& r) { type(r, makeRef(291, 0), "128"); }, makeRef(291, 0), Severity::Error,
         "at least 128"},
        {"buffer below patch and header",
         [](auto& r) {
             applyChoice(r, makeRef(288, 0), 61);
             type(r, makeRef(292, 0), "$F0, $43, Chan, $F7");
             type(r, makeRef(291, 0), "130");
         },
         [](auto& r) {
             applyChoice(r, makeRef(288, 0), 61);
             type(r, makeRef(292, 0), "$F0, $43");
             type(r, makeRef(291, 0), "131");
         },
         makeRef(291, 0), Severity::Error, "3 header bytes"},
        {"total patches against sub-banks", [](auto& r) { type(r, makeRef(181, 0), "60"); },
         [](auto& r) {
             type(r, makeRef(181, 0), "60");
             type(r, makeRef(263, 0, 1), "4");
         },
         makeRef(181, 0), Severity::Warning, "hold 64"},
        {"unused beyond the sub-bank", [](auto& r) { type(r, makeRef(263, 0, 0), "40"); },
         [](auto&) {}, makeRef(263, 0, 0), Severity::Warning, "unused"},
        {"ROM names shorter", [](auto& r) { romSubBank(r, 30); },
         [](auto& r) { romSubBank(r, 32); }, makeRef(265, 0, 1), Severity::Error, "30 names"},
        {"ROM names longer", [](auto& r) { romSubBank(r, 33); }, [](auto& r) { romSubBank(r, 32); },
         makeRef(265, 0, 1), Severity::Error, "longer"},
        {"ROM sub-bank without names", [](auto& r) { applyChoice(r, makeRef(261, 0, 1), 72); },
         [](auto& r) { applyChoice(r, makeRef(261, 0, 1), 71); }, makeRef(265, 0, 1),
         Severity::Warning, "no patch names"},
        {"missing template", [](auto& r) { macroEditor(r, 2, 2, 0); },
         [](auto& r) { macroEditor(r, 3, 2, 0); }, makeRef(307, 0), Severity::Error,
         "uses template 3, but the module has 2"},
        {"macro From above To", [](auto& r) { macroEditor(r, 1, 0, 0, 10, 5); },
         [](auto& r) { macroEditor(r, 1, 0, 0, 5, 10); }, makeRef(307, 0), Severity::Warning,
         "swap"},
        {"parameter beyond the patch", [](auto& r) { macroEditor(r, 1, 0, 128); },
         [](auto& r) { macroEditor(r, 1, 0, 127); }, makeRef(307, 0), Severity::Error,
         "beyond the 128-byte patch"},
        {"template bits beyond 16",
         [](auto& r) {
             macroEditor(r, 1, 0, 0);
             (*r.block(0, rec::kSlotTemplates))[0] = 3;
             (*r.block(0, rec::kSlotTemplates))[1] = 10;
             (*r.block(0, rec::kSlotTemplates))[2] = 7;
         },
         [](auto& r) {
             macroEditor(r, 1, 0, 0);
             (*r.block(0, rec::kSlotTemplates))[0] = 3;
             (*r.block(0, rec::kSlotTemplates))[1] = 10;
             (*r.block(0, rec::kSlotTemplates))[2] = 6;
         },
         makeRef(307, 0), Severity::Error, "bits 10 to 16"},
        {"filter on a missing template",
         [](auto& r) {
             macroEditor(r, 1, 0, 0);
             r.setModU16(0, rec::kModMacroFilter, 1);
         },
         [](auto& r) {
             macroEditor(r, 1, 0, 0);
             r.setModU16(0, rec::kModMacroFilter, 0);
         },
         makeRef(307, 0), Severity::Error, "macro filter"},
        {"patch information on a missing template",
         [](auto& r) {
             macroEditor(r, 1, 0, 0);
             Block info(1040, 0xFF);
             putLE16(info, 2, 4);
             r.block(0, rec::kSlotPatchInfo) = info;
         },
         [](auto& r) {
             macroEditor(r, 1, 0, 0);
             r.block(0, rec::kSlotPatchInfo) = Block(1040, 0xFF);
         },
         makeRef(307, 0), Severity::Error, "descriptor 2"},
        {"stale disabled value",
         [](auto& r) {
             type(r, makeRef(22), "5");
             applyChoice(r, makeRef(19), 71);
         },
         [](auto& r) { applyChoice(r, makeRef(19), 71); }, makeRef(22), Severity::Warning,
         "disabled"},
        {"loop that cannot advance", [](auto& r) { type(r, makeRef(150, 0), "10"); },
         [](auto& r) {
             type(r, makeRef(150, 0), "10");
             type(r, makeRef(151, 0), "2");
         },
         makeRef(151, 0), Severity::Error, "must not be 0"},
        {"module ID of no module", [](auto& r) { type(r, makeRef(49), "2"); },
         [](auto& r) {
             type(r, makeRef(103), "2");
             type(r, makeRef(107, 1), "Perf");
             type(r, makeRef(49), "2");
         },
         makeRef(49), Severity::Error, "names no module"},
        {"template message without Joker",
         [](auto& r) {
             applyChoice(r, makeRef(121, 0), 71);
             type(r, makeRef(134, 0), "$F0, $43, $F7");
         },
         [](auto& r) {
             applyChoice(r, makeRef(121, 0), 71);
             type(r, makeRef(134, 0), "$F0, $43, Joker, $F7");
         },
         makeRef(134, 0), Severity::Error, "Joker"},
        {"value outside its range", [](auto& r) { r.setU16(216, 100); },
         [](auto& r) { r.setU16(216, 500); }, makeRef(17), Severity::Warning, "range 500 to 30000"},
    };
    for (const Rule& rule : rules) {
        auto broken = cleanSource();
        rule.breaks(*broken);
        const auto found = checkDriver(*broken);
        const bool hit = std::any_of(found.begin(), found.end(), [&](const Finding& f) {
            return f.ref.id == rule.ref.id && f.ref.index1 == rule.ref.index1 &&
                   f.ref.index2 == rule.ref.index2 && f.severity == rule.severity &&
                   f.text.find(rule.says) != std::string::npos;
        });
        EXPECT_TRUE(hit) << rule.name << ":\n" << describe(found);

        auto kept = cleanSource();
        rule.keeps(*kept);
        EXPECT_EQ(describe(checkDriver(*kept)), "") << rule.name;
    }
}

TEST(DriverCheck, DriverTextsInFindingsHaveNoControlBytes) {
    auto r = newSource();
    type(*r, makeRef(6), "A B\x1B\n");
    const auto findings = checkDriver(*r);
    const auto space = std::find_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.text.find("space") != std::string::npos;
    });
    ASSERT_NE(space, findings.end());
    EXPECT_NE(space->text.find("\"A B\\x1B\\x0A\""), std::string::npos) << space->text;
}

TEST(DriverCheck, FindingsFollowTheTreeOrder) {
    auto r = cleanSource();
    r->setU16(216, 100);              // 17, global
    type(*r, makeRef(291, 0), "10");  // module row
    r->setText(16, 17, "");           // 4, first row of the tree
    const auto found = checkDriver(*r);
    ASSERT_EQ(found.size(), 3u) << describe(found);
    EXPECT_EQ(found[0].ref.id, 4);
    EXPECT_EQ(found[1].ref.id, 17);
    EXPECT_EQ(found[2].ref.id, 291);
}

TEST(DriverCheck, FileNamesThatCollideInTheLibrary) {
    auto a = cleanSource(), b = cleanSource(), c = cleanSource();
    type(*c, makeRef(6), "OTHER");
    DriverNameIndex index;
    index.add("/lib/a/SYNTH.d", driverFileName(*a));
    index.add("/lib/b/KEYS.d", driverFileName(*b));   // same driver file name as a
    index.add("/lib/c/SYNTH.d", driverFileName(*c));  // same source file name as a
    EXPECT_EQ(index.collisions("/lib/a/SYNTH.d", driverFileName(*a)).size(), 2u);
    const auto forB = index.collisions("/lib/b/KEYS.d", driverFileName(*b));
    ASSERT_EQ(forB.size(), 1u);
    EXPECT_THAT(forB[0].text, HasSubstr("same file name"));
    const auto forC = index.collisions("/lib/c/SYNTH.d", driverFileName(*c));
    ASSERT_EQ(forC.size(), 1u);
    EXPECT_THAT(forC[0].text, HasSubstr("same \".dev\""));
    DriverNameIndex alone;
    alone.add("/lib/a/SYNTH.d", driverFileName(*a));
    EXPECT_TRUE(alone.collisions("/lib/a/SYNTH.d", driverFileName(*a)).empty());
}

}  // namespace
}  // namespace sf

namespace sf {
namespace {

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
