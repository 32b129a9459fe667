// The text form of a driver source: what it says, that it gives back the
// same file byte for byte, and that a damaged text is refused with its line.
#include "tools/textform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "driver/listdriver.h"
#include "source/romnames.h"
#include "source/schema.h"
#include "source/sourcefile.h"
#include "source/valuetext.h"
#include "support/random_record.h"
#include "support/sanitized.h"

namespace sf {
namespace {

using ::testing::HasSubstr;

std::vector<std::uint8_t> imageOf(const SourceRecord& r) {
    auto image = buildFileImage(r);
    EXPECT_TRUE(image.has_value());
    return image.value_or(std::vector<std::uint8_t>{});
}

// The text builds a source whose file is the original file, and whose text is
// the same text (which follows from the file alone, so few seeds repeat it).
void expectRoundTrip(const SourceRecord& r, const std::string& what, bool textAgain = true) {
    const auto text = exportSourceText(r);
    ASSERT_TRUE(text) << what;
    const auto back = importSourceText(*text);  // a refusal fails the test with its reason
    ASSERT_EQ(imageOf(*back), imageOf(r)) << what << "\n" << *text;
    EXPECT_TRUE(!textAgain || exportSourceText(*back) == text) << what;
}

// `size` zero bytes, some of them set, and a text at `at`.
Block blockOf(std::size_t size, std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes,
              std::size_t at = 0, std::string_view text = "") {
    Block b(size, 0);
    for (auto [i, v] : bytes) b[i] = v;
    std::copy(text.begin(), text.end(), b.begin() + static_cast<long>(at));
    return b;
}

void set(SourceRecord& r, const SettingRef& ref, const std::string& text) {
    ASSERT_NE(parseValue(r, ref, text), ParseResult::NotStored) << ref.id << " " << text;
}

// A source as an author would have it: named driver and modules, messages,
// flags, choices, sub-banks with ROM names and every kind of block.
std::unique_ptr<SourceRecord> authoredSource() {
    auto r = newSource();
    const std::pair<int, const char*> values[] = {
        {4, "Synth 2000"}, {6, "SYNTH2K"}, {8, "S2K"}, {15, "$F0, $43"}, {103, "2"}, {181, "64"},
        {182, "-128"},     {135, ""},      {238, "8"}, {256, "2"},       {257, "2"}};
    for (auto [id, text] : values) set(*r, makeRef(id, id > 103 ? 0 : -1), text);
    set(*r, makeRef(107, 1), "Performance");
    set(*r, makeRef(129, 0, 2), "01, 00, 00");
    set(*r, makeRef(262, 0, 1), "ROM");
    set(*r, makeRef(205, 0), "$F0, 67, 'A', Joker, $F7");
    using C = std::pair<SettingRef, int>;
    for (auto [ref, command] : {C{makeRef(108, 0), 70}, C{makeRef(116, 0), 61},
                                C{makeRef(261, 0, 1), 72}, C{makeRef(114, 0), 61}})
        applyChoice(*r, ref, command);
    storeRomNames(*r, 0, 1,
                  *parseRomNames("Piano\r\nStrings\r\n", romNamesShape(*r, 0), false).block);
    r->setModU16(0, rec::kModConverterCount, 2);
    r->setModU16(0, rec::kModConverterFinalSize, 155);
    r->setModU16(0, rec::kModTemplateCount, 2);
    r->block(0, rec::kSlotConverter) = blockOf(20, {{0, 1}, {8, 118}, {10, 3}, {14, 10}});
    r->block(0, rec::kSlotTemplates) =
        blockOf(56, {{0, 1}, {2, 1}, {6, 127}, {28, 3}, {29, 6}, {30, 4}, {31, 5}}, 10, "Cutoff");
    testsupport::RecordRng rng(7);
    r->block(0, rec::kSlotMacros) = testsupport::randomMacroList(rng, 3, 2);
    r->block(0, rec::kSlotPatchInfo) = blockOf(1040, {{0, 1}, {16, 2}}, 80, "Warm");
    r->block(0, rec::kSlotValueLists) = blockOf(1632, {{0, 2}, {32, 10}, {34, 20}});
    r->block(0, rec::kSlotReserved) = Block{1, 2, 3};
    r->setModU16(0, rec::kModMacroFilter + 4, 1);
    r->setU8(rec::moduleBase(0) + rec::kModMacroFilter + 6 + 5, 3);
    r->setU16(2532, 0xBEEF);  // a reserved word
    return r;
}

TEST(TextForm, ValuesAndBlocksInTheirLineForm) {
    const auto text = *exportSourceText(*authoredSource());
    for (const char* line : {
             "# General settings / Identification / Name\n4 = \"Synth 2000\"\n",
             "15 = $F0, $43\n",
             "205:0 = $F0, 67, 'A', Joker, $F7\n",
             "108:0 = Dump memory and display patch names\n",
             "116:0 = Yes\n",
             "182:0 = -128\n",
             "129:0:2 = 01, 00, 00\n",
             "135:0 = none\n",
             "107:1 = \"Performance\"\n",
             "261:0:1 = ROM (patches are permanent in the device)\n",
             "# Module 1 / Bank handling / Sub-bank definitions / Sub-bank #2 / ROM patch names\n"
             "265:0:1 = rom-names {\n| Piano\n| Strings\n}\n",
             "305:0 = converter final-size=155 {\ncopy-bytes from=0 to=0 count=118\n"
             "loop loops=10 source-step=0 dest-step=0\n}\n",
             "307:0 = templates {\ntemplate \"Cutoff\" byte bit-count=1 min=0 max=127 def=0\n"
             "template \"\" bits bit-start=6 bit-count=4 signed little-endian min=0 max=0 "
             "def=0\n}\n",
             "307:0 = patch-info {\ndescriptor 1 reference=1 offset=0\nrow 1 value=2 "
             "tag=\"Warm\"\n",
             "307:0 = value-lists {\ncounts 2 0 0 0 0 0 0 0\nlist 1: 10 20\n}\n",
             "307:0 = reserved hex size=3 {\n01 02 03\n}\n",
             "307:0 = filter reference=-1 offset=0 and-mode {\ngroups 5=3\n}\n",
             "# Bytes without a setting\n@G+2532 = EF BE\n",
         })
        EXPECT_THAT(text, HasSubstr(line));
    expectRoundTrip(*authoredSource(), "authored");
}

TEST(TextForm, RoundTripOfRandomSourcesWithEveryKindOfBlock) {
    // One module each keeps the run short; every module carries blocks of
    // every kind, and full sixteen-module sources are tried below.
    const std::uint32_t rounds = sf::test::sanitizedRounds(2000);
    for (std::uint32_t seed = 1; seed <= rounds; ++seed) {
        const auto r = testsupport::randomRecord(seed, 1);
        expectRoundTrip(*r, "seed " + std::to_string(seed), seed % 20 == 0);
        if (HasFailure()) return;
    }
}

TEST(TextForm, RoundTripOfTheSourcesOtherTestsUse) {
    EXPECT_EQ(exportSourceText(*newSource()), std::string(kSourceTextHeader) + "\n");
    expectRoundTrip(*newSource(), "new source");
    ListDriverValues v{
        .driverName = "Lister", .patchNameLength = "12", .columns = "8", .rows = "16"};
    v.banks[0] = {"Bank A", "0", "0"};
    v.banks[3] = {"Bank D", "3", "64"};
    expectRoundTrip(*generateListDriver(v), "list driver");
    for (std::uint32_t seed : {99u, 100u, 101u})
        expectRoundTrip(*testsupport::randomRecord(seed, 16), "sixteen modules");
    // Module count above the named modules: the file keeps the named ones.
    auto r = newSource();
    r->setU16(rec::kModuleCount, 3);
    expectRoundTrip(*r, "unnamed modules");
}

TEST(TextForm, BrokenTextsAreRefusedWithTheirLine) {
    const std::string h = std::string(kSourceTextHeader) + "\n";
    const std::tuple<const char*, int, const char*> cases[] = {
        {"hello\n", 1, "not a driver source text"},
        {"", 0, "empty"},
        {"# x\n999 = 1\n", 3, "not a setting"},
        {"9:1 = 100\n", 2, "not a setting"},
        {"9 = 70000\n", 2, "out of range"},
        {"17 = 100\n", 2, "out of range"},
        {"107:0 = \"Voice\n", 2, "closing quote"},
        {"4 = \"ABCDEFGHIJKLMNOPQRSTU\"\n", 2, "too long"},
        {"9\n", 2, "REF = VALUE"},
        {"16 = Sevenize\n", 2, "not a choice"},
        {"129:0:0 = 01, 80\n", 2, "7-bit"},
        {"107:2 = \"Far\"\n", 2, "not in use"},
        {"103 = 2\n", 2, "has no name"},
        {"@G+2731 = 01 02\n", 2, "past the end"},
        {"@G+10 = 0\n", 2, "hex byte"},
        {"307:0 = reserved hex size=4 {\n01 02 03\n}\n", 2, "4 bytes expected, 3 given"},
        {"305:0 = converter {\ncopy-bytes from=1\n", 2, "not closed"},
        {"305:0 = converter {\nshuffle\n}\n", 3, "unknown operation"},
        {"265:0:0 = rom-names {\n| Piano\n}\n", 2, "not in use"},
        {"307:0 = macros {\nmacro \"A\"\n}\n", 2, "macro editor"},
        {"305:0 = rom-names {\n}\n", 2, "not a block"},
        {"131:0 = 4\n", 2, "no value"},
        {"114:0 = Yes\n307:0 = filter reference=5 offset=97 flags=$L38 {\n}\n", 3, "not a number"},
    };
    for (const auto& [given, line, says] : cases) {
        const std::string text = line == 1 || line == 0 ? given : h + given;
        try {
            importSourceText(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const SourceTextError& e) {
            EXPECT_EQ(e.line(), line) << text << " -> " << e.what();
            EXPECT_THAT(e.message(), HasSubstr(says)) << text;
        }
    }
}

TEST(TextForm, HandWrittenTextIsReadLikeTheExport) {
    const std::string text = std::string(kSourceTextHeader) +
                             "\r\n\n  # comment\n4 = Plain text\n9 = $71\n19 = MIDI Channel\n"
                             "158:0 = 01 02\n";
    const auto r = importSourceText(text);
    EXPECT_EQ(formatValue(*r, makeRef(4)), "Plain text");
    EXPECT_EQ(r->u16(10), 0x71);
    EXPECT_EQ(formatValue(*r, makeRef(19)), "MIDI Channel");
    EXPECT_EQ(r->u32(rec::moduleBase(0) + 184), 130u);
}

}  // namespace
}  // namespace sf
