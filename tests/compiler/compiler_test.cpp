#include "driver/compiler.h"

#include <gtest/gtest.h>

#include <cstring>

#include "compiler/compiler_support.h"
#include "driver/compiler_limits.h"

using namespace sf;
using namespace sf::test;

namespace {

constexpr std::size_t M0 = rec::moduleBase(0);
constexpr std::uint16_t kDisplayNames = 0x0008;
const std::size_t m0 = mod(0);

std::unique_ptr<SourceRecord> namedSource() {
    auto r = newSource();
    r->setModU16(0, rec::kModFlags, kDisplayNames);
    return r;
}

// The source is refused with one stop message and no image.
void expectRefused(const SourceRecord& r, CompileError error, std::string_view text) {
    RecordingPrompter p;
    auto res = compileDriver(r, &p);
    EXPECT_EQ(res.error, error);
    EXPECT_TRUE(res.image.empty());
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].text, text);
    EXPECT_EQ(p.messages[0].icon, MessageIcon::Stop);
}

}  // namespace

TEST(Compiler, ModulesUpToTheFirstUnnamedOneAndTheirAsciiTable) {
    auto r = newSource();             // one named module, no block at all
    r->setU16(rec::kModuleCount, 5);  // not consulted
    auto img = compileOk(*r);
    ASSERT_EQ(img.size(), 936u);
    EXPECT_EQ(std::memcmp(img.data(), "DEV ", 4), 0);
    EXPECT_EQ(std::tuple(getBE16(img, drv::kHModuleCount), textAt(img, m0 + drv::kMName),
                         getBE16(img, drv::kHAsciiRef)),
              std::tuple(1, "Module", 0));

    // Modules 1 and 3 named, module 2 not: one module record, and module 3's
    // ASCII conversion does not count.
    setName(*r, 2, "Third");
    r->setModU16(2, 2734, 0x0002);
    img = compileOk(*r);
    EXPECT_EQ(std::tuple(getBE16(img, drv::kHModuleCount), getBE16(img, drv::kHAsciiRef)),
              std::tuple(1, 0));
    // Once in reach, it asks for the table even though it does not display names.
    setName(*r, 1, "Second");
    img = compileOk(*r);
    EXPECT_EQ(std::tuple(getBE16(img, drv::kHModuleCount), getBE16(img, drv::kHAsciiRef)),
              std::tuple(3, 488 + 3 * 448));  // the first block
    EXPECT_EQ(blockAt(img, drv::kHAsciiRef).size(), 128u);

    setName(*r, 0, "");
    expectRefused(*r, CompileError::NoNamedModule, "There is no module with a valid name!");
    EXPECT_EQ(compileDriver(*r).error, CompileError::NoNamedModule);  // no prompter: no crash
}

TEST(Compiler, MessageAndHelpTextBlocks) {
    auto r = newSource();
    setMessage(*r, 908, 40, {0xF0, 0x4041, 0x80F7});  // 3 units, odd: padded
    setMessage(*r, 990, 40, {0x00F0, 0x00FE});
    auto img = compileOk(*r);
    EXPECT_EQ(words(img, drv::kHModeRefs, 9), (Words{936, 942, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(getBE16(img, drv::kHHelpRef), 0);  // all ten lines empty
    // Length word, the codes only (high bytes dropped), padding; then the next block.
    EXPECT_EQ(Bytes(img.begin() + 936, img.end()),
              (Bytes{0, 3, 0xF0, 0x41, 0xF7, 0, 0, 2, 0xF0, 0xFE}));

    r->setText(rec::kHelpLines + 2 * rec::kHelpLineSize, rec::kHelpLineSize, "AB");
    img = compileOk(*r);
    EXPECT_EQ(blockAt(img, drv::kHHelpRef), (Bytes{0, 0, 'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0}));

    // A module help line without terminator is cut to 50 characters.
    auto f = slice(r->data(), M0 + 570, 51);
    std::fill(f.begin(), f.end(), std::uint8_t{'x'});
    img = compileOk(*r);
    auto help = blockAt(img, m0 + drv::kMReceiveHelpRef);
    ASSERT_EQ(help.size(), 50u + 1 + 9);
    EXPECT_EQ(textAt(help, 0), std::string(50, 'x'));
    EXPECT_EQ(getBE16(img, m0 + drv::kMSendHelpRef), 0);
}

TEST(Compiler, HeaderComputedFields) {
    auto r = newSource();
    // Time-out: at least 1000; device ID mask: the shift of its lowest bit within the byte.
    const struct {
        std::size_t field;
        std::int16_t in;
        int out;
    } cases[] = {{216, 500, 1000}, {216, 2500, 2500}, {216, 999, 1000}, {216, 1000, 1000},
                 {216, -5, 1000},  {190, 0x70, 4},    {190, 0, 0},      {190, 0x0F, 0},
                 {190, 0x80, 7},   {190, 0x300, 0}};
    for (const auto& c : cases) {
        r->setU16(c.field, static_cast<std::uint16_t>(c.in));
        const auto img = compileOk(*r);
        EXPECT_EQ(c.field == 216 ? getBE16(img, drv::kHTimeOut) : img[drv::kHIdShift], c.out)
            << c.in;
    }
    r->setU16(174, static_cast<std::uint16_t>(-0x2100));  // a long ID is stored negative
    EXPECT_EQ(getBE16(compileOk(*r), drv::kHManufacturer), 0xDF00);

    // Common header: count and the codes of all 8 places; texts cut to their width.
    setMessage(*r, 194, 8, {0x00F0, 0x4043, 0x0010});
    r->setU16(192, 3);               // the common header keeps its count before the units
    r->setU16(194 + 2 * 7, 0x0155);  // a place beyond the count keeps what it holds
    r->setText(67, 21, "An author with twenty");  // 20 characters kept of 21
    auto img = compileOk(*r);
    EXPECT_EQ(std::tuple(getBE16(img, drv::kHCommonHeaderCount), img[drv::kHCommonHeader + 1],
                         img[drv::kHCommonHeader + 7], textAt(img, drv::kHAuthor)),
              std::tuple(3, 0x43, 0x55, "An author with twent"));
}

TEST(Compiler, InstrumentList) {
    auto r = newSource();
    r->setU16(2056, 0x0002 | 0x4000 | 0x0004);  // single in multi mode, parent
    r->setU16(2072, 3);                         // three singles
    r->setU16(2058, 0x0001);                    // second single
    r->setU16(2094, 4);                         // parent with four parts
    auto img = compileOk(*r);
    EXPECT_EQ(std::tuple(getBE16(img, drv::kHInstrumentListCount), img[drv::kHParentListPosition],
                         getBE16(img, drv::kHInstrumentFlags)),
              std::tuple(11, 6, 0x4006));
    EXPECT_EQ(Bytes(img.begin() + drv::kHInstrumentList, img.begin() + drv::kHInstrumentList + 12),
              (Bytes{0x80, 0x81, 0x82, 0xA0, 0x10, 0x30, 0x40, 0, 1, 2, 3, 0xFF}));

    // No parent: position 0. Damaged counts stay within the list's room.
    r->setU16(2056, 0x0002);
    r->setU16(2072, 300);
    r->setU16(2058, 0);
    img = compileOk(*r);  // the single number field itself is copied
    EXPECT_EQ(std::tuple(getBE16(img, drv::kHInstrumentListCount), img[drv::kHParentListPosition],
                         img[drv::kHInstrumentList + 16], img[drv::kHSingleNumber]),
              std::tuple(16, 0, 0xFF, 300 & 0xFF));
}

TEST(Compiler, JokerPositionReceivePatternsAndTrailer) {
    auto r = newSource();
    setMessage(*r, 194, 8, {0xF0, 0x41, 0x10, 0x42, 0x12});  // 5-unit common header
    r->setU16(192, 5);
    setMessage(*r, M0 + 64, 40, {0xF0, 0x41, 0xFD, 0x12, 0xFE, 0xF7});
    // F0 41 Chan 42 12 Adr Chk: trailing variables dropped, inner one 0xFE.
    setMessage(*r, M0 + 2332, 40, {0xF0, 0x41, 0xF6, 0x42, 0x12, 0xFA, 0xF5});
    setMessage(*r, M0 + 2414, 40, {0xF5, 0xFC});  // no fixed unit: no pattern
    auto img = compileOk(*r);
    EXPECT_EQ(std::tuple(img[m0 + drv::kMJokerPosition], getBE16(img, m0 + drv::kMThree)),
              std::tuple(8, 3));
    EXPECT_EQ(blockAt(img, m0 + drv::kMPattern1Ref), (Bytes{0xF0, 0x41, 0xFE, 0x42, 0x12}));
    EXPECT_EQ(getBE16(img, m0 + drv::kMPattern2Ref), 0);
    EXPECT_EQ(blockAt(img, m0 + drv::kMTemplateRef), (Bytes{0xF0, 0x41, 0xFD, 0x12, 0xFE, 0xF7}));

    // Joker typed in decimal is an ordinary byte; without a Joker the field is 0.
    setMessage(*r, M0 + 64, 40, {0xF0, 0x40FE, 0x00FE});
    EXPECT_EQ(compileOk(*r)[m0 + drv::kMJokerPosition], 2);
    setMessage(*r, M0 + 64, 40, {0xF0, 0x40FE});
    EXPECT_EQ(compileOk(*r)[m0 + drv::kMJokerPosition], 0);
    // Head, Joker and the empty code are fixed units of a pattern.
    setMessage(*r, M0 + 2414, 40, {0xFC, 0xFD, 0xF8, 0xFF, 0xA5});
    EXPECT_EQ(blockAt(compileOk(*r), m0 + drv::kMPattern2Ref), (Bytes{0xFE, 0xFD, 0xFE, 0xFF}));

    // "No structure" keeps only F0 of pattern 1; the trailer follows the checksum.
    setMessage(*r, M0 + 2332, 40, {0xF0, 0x41});
    setMessage(*r, M0 + 2414, 40, {0xF0, 0x42});
    r->setModU16(0, rec::kModStructure, 7);
    r->setModU16(0, rec::kModFlags, 0x0010);
    img = compileOk(*r);
    EXPECT_EQ(blockAt(img, m0 + drv::kMPattern1Ref), (Bytes{0xF0}));
    EXPECT_EQ(getBE16(img, m0 + drv::kMPattern2Ref), 0);
    EXPECT_EQ(std::tuple(img[m0 + drv::kMTrailerLength], img[m0 + drv::kMStructure]),
              std::tuple(0, 7));

    r->setModU16(0, rec::kModStructure, 2);
    r->setU16(212, 3);
    EXPECT_EQ(compileOk(*r)[m0 + drv::kMTrailerLength], 3);  // checksum length 2 + 1
    r->setModU16(0, rec::kModFlags, 0);
    EXPECT_EQ(compileOk(*r)[m0 + drv::kMTrailerLength], 1);  // no checksum
}

TEST(Compiler, FlagWordsAndPacketArea) {
    auto r = newSource();
    r->setModU16(0, 568, 0x000D);   // receive: manual, pre-message "at each loop #2", box, wait
    r->setModU16(0, 1612, 0x0002);  // send: pre-message "at each loop #1" is the clear bit
    r->setModU16(0, 60, 0x0003);    // divided in packets, complex loop
    for (int i = 0; i < 80; ++i) r->setU8(M0 + 212 + i, static_cast<std::uint8_t>(i + 1));
    auto img = compileOk(*r);
    expectFields(img, m0, {{drv::kMReceiveFlags, 0x000F}, {drv::kMSendFlags, 0}});
    // Loop sets of 10 bytes: the 16-bit start values at 4, 6 and 8 are big-endian.
    auto area = blockAt(img, m0 + drv::kMPacketAreaRef);
    ASSERT_EQ(area.size(), 80u);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 12),
              (Bytes{1, 2, 3, 4, 6, 5, 8, 7, 10, 9, 11, 12}));

    // Packet sequence: fields at 0, 2 and 4 of each 8-byte record swapped.
    r->setModU16(0, 60, 0x0005);
    area = blockAt(compileOk(*r), m0 + drv::kMPacketAreaRef);
    ASSERT_EQ(area.size(), 80u);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 10), (Bytes{2, 1, 4, 3, 6, 5, 7, 8, 10, 9}));
    r->setModU16(0, 60, 0x0001);
    EXPECT_EQ(getBE16(compileOk(*r), m0 + drv::kMPacketAreaRef), 0);
}

TEST(Compiler, NamesPartFields) {
    auto r = namedSource();
    r->setModU16(0, 2734, 0x0071);  // no name, uppercase, no renaming, add 0
    r->setModU16(0, 3850, 2);       // write not possible: no write messages
    setMessage(*r, M0 + 3852, 40, {0xF0, 0x01});
    setMessage(*r, M0 + 3934, 40, {0xF0, 0x02});
    setMessage(*r, M0 + 3684, 40, {0xF0, 0x03});
    r->setU32(M0 + 4018, 0x00010203);
    auto img = compileOk(*r);
    expectFields(img, m0,
                 {{drv::kMNamingFlags, 0x0071},
                  {drv::kMWrite1Ref, 0},
                  {drv::kMWrite2Ref, 0},
                  {drv::kMWriteMode, 2},
                  {drv::kMNameLink, 0}});
    EXPECT_EQ(blockAt(img, m0 + drv::kMPatchHeader1Ref), (Bytes{0xF0, 0x03}));
    EXPECT_EQ(getBE32(img, m0 + drv::kMWriteStart), 0x00010203u);

    r->setModU16(0, 3850, 0);
    img = compileOk(*r);
    EXPECT_EQ(std::tuple(blockAt(img, m0 + drv::kMWrite1Ref), blockAt(img, m0 + drv::kMWrite2Ref)),
              std::tuple(Bytes{0xF0, 0x01}, Bytes{0xF0, 0x02}));

    // nameLink: indirect names give 2; the parent's module 4 × parts.
    r->setU16(2056, 0x0004);
    r->setU16(2094, 5);
    r->setU16(2098, 0);
    EXPECT_EQ(getBE16(compileOk(*r), m0 + drv::kMNameLink), 20);
    r->setU16(2098, 1);
    EXPECT_EQ(getBE16(compileOk(*r), m0 + drv::kMNameLink), 0);
    r->setModU16(0, 2734, 0x0008);
    EXPECT_EQ(getBE16(compileOk(*r), m0 + drv::kMNameLink), 2);
}

TEST(Compiler, SubBankRecordsOrdinalsRomNamesAndRamTotals) {
    auto r = namedSource();
    r->setModU16(0, rec::kModSubBankCount, 4);
    r->setModU16(0, 2786, 0x0100);               // reserved bits kept
    const std::uint16_t types[] = {0, 2, 0, 1};  // RAM, ROM, RAM, Card
    const int ordinals[] = {0, 0, 1, 0};         // counted per type
    for (int k = 0; k < 4; ++k) {
        const std::size_t sb = M0 + rec::subBankBase(k);
        r->setU16(sb + rec::kSbType, types[k]);
        r->setU16(sb + rec::kSbBankCode, static_cast<std::uint16_t>(0x1234 + k));
        r->setU16(sb + rec::kSbFlags, 0x0107);  // a byte in the driver
    }
    // A 9-character name fills the source field: cut to 8.
    std::memcpy(&r->bytes[M0 + rec::subBankBase(0)], "ABCDEFGHI", 9);
    r->block(0, 1) = Block{'P', 'i', 'a', 'n', 'o'};
    r->block(0, 0) = Block{'X'};  // RAM sub-bank: its names are not used
    auto img = compileOk(*r);
    EXPECT_EQ(getBE16(img, m0 + drv::kMSubBankCount), 4);
    for (int k = 0; k < 4; ++k) {
        auto sb = blockAt(img, m0 + drv::kMSubBankRefs + 2 * k);
        ASSERT_EQ(sb.size(), 26u);
        EXPECT_EQ(std::tuple(sb[drv::kSbType], sb[drv::kSbOrdinal], sb[drv::kSbFlags],
                             getBE16(sb, drv::kSbBankCode)),
                  std::tuple(types[k], ordinals[k], 0x07, 0x1234 + k))
            << k;
    }
    EXPECT_EQ(textAt(blockAt(img, m0 + drv::kMSubBankRefs), 0), "ABCDEFGH");
    EXPECT_EQ(getBE16(img, m0 + drv::kMSubBankRefs + 8), 0);
    EXPECT_EQ(
        std::tuple(getBE16(img, drv::kHTypeId) & 0x0040, getBE16(img, m0 + drv::kMSubBankFlags)),
        std::tuple(0x0040, 0x0101));
    EXPECT_EQ(blockAt(img, m0 + drv::kMRomNamesRef), (Bytes{'P', 'i', 'a', 'n', 'o'}));
    // The ROM names follow the last sub-bank record.
    EXPECT_GT(getBE16(img, m0 + drv::kMRomNamesRef), getBE16(img, m0 + drv::kMSubBankRefs + 6));

    // Without a Card the Type ID keeps the source word.
    r->setU16(14, 0x0001);
    r->setU16(M0 + rec::subBankBase(3) + rec::kSbType, 2);
    img = compileOk(*r);
    EXPECT_EQ(std::tuple(getBE16(img, drv::kHTypeId), getBE16(img, m0 + drv::kMSubBankFlags)),
              std::tuple(0x0001, 0x0100));

    // A names-only module counts the patches of its RAM sub-banks (here 2 of 4).
    r->setModU16(0, rec::kModFlags, 0x0048);
    r->setModU16(0, rec::kModTotalPatches, 999);
    r->setModU16(0, rec::kModPatchesPerSubBank, 32);
    EXPECT_EQ(getBE16(compileOk(*r), m0 + drv::kMTotalPatches), 64);
    r->setModU16(0, rec::kModFlags, kDisplayNames);
    EXPECT_EQ(getBE16(compileOk(*r), m0 + drv::kMTotalPatches), 999);
}

TEST(Compiler, ConverterAndMacroBlocks) {
    auto r = namedSource();
    r->setModU16(0, rec::kModHasMacro, 1);
    r->setModU16(0, rec::kModConverterCount, 2);
    r->setModU16(0, rec::kModConverterFinalSize, 155);
    r->block(0, rec::kSlotConverter) =
        Block{1, 0, 0, 0, 0x34, 0x12, 2, 0, 3, 0, 4, 0, 0, 0, 0x34, 0x12, 2, 0, 3, 0};
    r->setModU16(0, rec::kModMacroReserved, 0x0A0B);
    r->setModU16(0, rec::kModTemplateCount, 1);
    Block templ{1, 0, 0, 0, 0x80, 0xFF};  // a byte template, minimum -128
    templ.resize(28);
    r->block(0, rec::kSlotTemplates) = templ;
    Block macros{1, 0, 6, 0, 0, 0, 36, 0};  // one macro at 6, of 36 bytes
    macros.resize(2 + 4 + 36);
    r->block(0, rec::kSlotMacros) = macros;
    r->block(0, rec::kSlotReserved) = Block{9, 8, 7};
    putLE16(r->data(), M0 + rec::kModMacroFilter + 2, 0x0102);  // filter offset

    // Patch information: descriptor 0 takes rows 0..2, descriptor 1 all 16.
    Block info(1040, 0);
    for (int d = 0; d < 4; ++d) putLE16(info, 2 * d, static_cast<std::uint16_t>(-1));
    putLE16(info, 0, 5);
    putLE16(info, 8, 0x0304);
    for (int row = 0; row < 64; ++row) info[16 + row] = 0xFF;
    for (int row = 0; row < 3; ++row) info[16 + row] = static_cast<std::uint8_t>(row);
    info[16 + 4] = 7;  // after the first unused row: not taken
    for (int row = 16; row < 32; ++row) info[16 + row] = 1;
    std::memcpy(&info[80 + 15 * 1], "Tag13charsXYZ", 14);
    r->block(0, rec::kSlotPatchInfo) = info;

    // Value lists: counts 2, 0, 3 (the words after the counts are not used);
    // list k at byte 32 + 200 k.
    Block lists(1632, 0);
    const Field listWords[] = {{0, 2},
                               {4, 3},
                               {16, 0x7777},
                               {32, 0x1111},
                               {34, 0x2222},
                               {32 + 400, 0x3333},
                               {32 + 404, 0x5555}};
    for (Field f : listWords) putLE16(lists, f.offset, static_cast<std::uint16_t>(f.value));
    r->block(0, rec::kSlotValueLists) = lists;

    auto img = compileOk(*r);
    expectFields(img, m0,
                 {{drv::kMOperationCount, 2},
                  {drv::kMFinalSize, 155},
                  {drv::kMMacroReserved, 0x0A0B},
                  {drv::kMTemplateCount, 1}});
    auto ops = blockAt(img, m0 + drv::kMOperationsRef);
    ASSERT_EQ(ops.size(), 20u);
    EXPECT_EQ(getBE16(ops, 4), 0x1234);   // type 1: swapped
    EXPECT_EQ(getLE16(ops, 14), 0x1234);  // type 4: as it lies
    EXPECT_EQ(getBE16(blockAt(img, m0 + drv::kMTemplatesRef), 4), 0xFF80);
    auto ml = blockAt(img, m0 + drv::kMMacrosRef);
    ASSERT_EQ(ml.size(), macros.size());
    EXPECT_EQ(words(ml, 0, 4), (Words{1, 0, 6, 36}));
    EXPECT_EQ(blockAt(img, m0 + drv::kMReservedBlockRef), (Bytes{9, 8, 7}));
    EXPECT_EQ(getBE16(blockAt(img, m0 + drv::kMMacroFilterRef), 2), 0x0102);

    auto pi = blockAt(img, m0 + drv::kMPatchInfoRef);
    ASSERT_EQ(pi.size(), 24u + 16u * 19u);
    EXPECT_EQ(words(pi, 0, 3), (Words{3, 16, 0}));   // rows per descriptor
    EXPECT_EQ(words(pi, 8, 2), (Words{5, 0xFFFF}));  // references
    EXPECT_EQ(getBE16(pi, 16), 0x0304);              // offset 0
    EXPECT_EQ(pi[24 + 16], 1);                       // row 1: value
    EXPECT_EQ(textAt(pi, 24 + 17), "Tag13charsXYZ");
    EXPECT_EQ(pi[24 + 48], 1);  // descriptor 1's first row

    auto vl = blockAt(img, m0 + drv::kMValueListsRef);
    EXPECT_EQ(words(vl, 0, 3), (Words{2, 0, 3}));      // counts
    EXPECT_EQ(words(vl, 16, 4), (Words{0, 2, 2, 5}));  // first-value indexes
    EXPECT_EQ(words(vl, 32, 6), (Words{0x1111, 0x2222, 0x3333, 0, 0x5555, 0}));  // packed

    // Block order: templates, macros, patch info, value lists, reserved, filter.
    const std::size_t order[] = {drv::kMTemplatesRef,     drv::kMMacrosRef,
                                 drv::kMPatchInfoRef,     drv::kMValueListsRef,
                                 drv::kMReservedBlockRef, drv::kMMacroFilterRef};
    for (std::size_t i = 1; i < std::size(order); ++i)
        EXPECT_LT(getBE16(img, m0 + order[i - 1]), getBE16(img, m0 + order[i])) << i;
    EXPECT_EQ(getBE16(img, m0 + drv::kMMacroFilterRef) + 2u + 102u, img.size());

    // Without a macro editor the macro part stays empty.
    r->setModU16(0, rec::kModHasMacro, 0);
    img = compileOk(*r);
    for (std::size_t f = drv::kMMacroReserved; f < drv::kModuleRecordSize; ++f)
        ASSERT_EQ(img[m0 + f], 0);
    EXPECT_EQ(getBE16(img, m0 + drv::kMOperationCount), 2);
}

TEST(Compiler, DamagedCountsStayWithinCapacities) {
    auto r = namedSource();
    setMessage(*r, M0 + 1288, 40, {0xF0});
    r->setModU16(0, 1368, 500);  // count beyond the 40 units
    setMessage(*r, M0 + 1370, 40, {0xF0});
    r->setModU16(0, 1450, 0xFFFD);  // negative
    r->setU16(192, 30);             // common header of "30" units
    r->setModU16(0, rec::kModSubBankCount, 40);
    r->setModU16(0, rec::kModConverterCount, 100);
    r->block(0, rec::kSlotConverter) = Block(35, 1);  // three whole records
    r->setModU16(0, rec::kModHasMacro, 1);
    r->setModU16(0, rec::kModTemplateCount, 9);
    r->block(0, rec::kSlotTemplates) = Block(60, 0);  // two whole templates
    r->block(0, rec::kSlotPatchInfo) = Block(20, 0);  // far too short
    Block lists(40, 0);
    putLE16(lists, 0, 5000);
    r->block(0, rec::kSlotValueLists) = lists;
    r->block(0, rec::kSlotMacros) = Block{0xFF, 0x7F, 1, 2};  // count far beyond the block

    const auto img = compileOk(*r);
    ASSERT_FALSE(img.empty());
    expectFields(img, m0,
                 {{drv::kMRequest2Ref, 0},
                  {drv::kMSubBankCount, 16},
                  {drv::kMOperationCount, 3},
                  {drv::kMTemplateCount, 2}});
    EXPECT_EQ(getBE16(img, drv::kHCommonHeaderCount), 8);
    EXPECT_EQ(blockAt(img, m0 + drv::kMRequest1Ref).size(), 40u);
    EXPECT_NE(getBE16(img, m0 + drv::kMSubBankRefs + 30), 0);
    EXPECT_EQ(blockAt(img, m0 + drv::kMOperationsRef).size(), 30u);
    EXPECT_EQ(blockAt(img, m0 + drv::kMTemplatesRef).size(), 56u);
    EXPECT_EQ(getBE16(blockAt(img, m0 + drv::kMValueListsRef), 0), 100);
    EXPECT_EQ(blockAt(img, m0 + drv::kMMacrosRef).size(), 4u);  // carried byte for byte
    // The short patch information reads as "no row" where bytes are missing:
    // its four zero value bytes are rows, the fifth is missing.
    auto pi = blockAt(img, m0 + drv::kMPatchInfoRef);
    ASSERT_EQ(pi.size(), 24u + 4 * 16u);
    EXPECT_EQ(words(pi, 0, 2), (Words{4, 0}));
}

TEST(Compiler, TooLargeDriverIsRefused) {
    auto r = newSource();
    fillToTheDriverLimit(*r);
    // The second ROM names block starts below 64 KB and may run past it.
    auto img = compileOk(*r);
    EXPECT_GT(img.size(), 0x10000u);
    EXPECT_LT(getBE16(img, mod(1) + drv::kMRomNamesRef), 0xFFFF);
    EXPECT_FALSE(driverOverflow(*r));
    EXPECT_GE(*driverRoom(*r), 0);

    // One more block would start beyond it: the first block out of reach is
    // named, with the bytes its start passes 65535 by.
    setMessage(*r, rec::moduleBase(2) + 64, 40, {0xF0});
    const auto late = driverOverflow(*r);
    ASSERT_TRUE(late);
    EXPECT_EQ(std::tuple(late->module, late->tooLong), std::tuple(2, false));
    EXPECT_EQ(late->excess, late->block.start - 65535);
    EXPECT_GE(late->block.start, 0x10000u);
    EXPECT_EQ(*driverRoom(*r), -static_cast<long>(late->excess));
    expectRefused(*r, CompileError::TooLarge,
                  std::string(kDriverTooLargeMessage) + "\n" + overflowText(*late));
    EXPECT_NE(overflowText(*late).find("Module 3, block \""), std::string::npos);

    // A single block longer than a 16-bit length cannot be written either.
    setMessage(*r, rec::moduleBase(2) + 64, 40, {});
    r->block(0, 0) = Block(70000, 'n');
    EXPECT_EQ(compileDriver(*r).error, CompileError::TooLarge);
    const auto longBlock = driverOverflow(*r);
    ASSERT_TRUE(longBlock);
    EXPECT_EQ(std::tuple(longBlock->tooLong, longBlock->excess, longBlock->setting.id),
              std::tuple(true, 70000u - 65535u, 255));
}

TEST(Compiler, BuilderPadsBlocksAndStopsAt64K) {
    DriverBuilder b(8);
    const std::uint8_t data[] = {1, 2, 3};
    EXPECT_TRUE(b.appendBlock(ConstByteSpan(data, 3), 2));
    EXPECT_TRUE(b.appendBlock(ConstByteSpan(), 4));  // empty: no block, reference 0
    EXPECT_EQ(std::tuple(getLE16(b.bytes(), 2), getLE16(b.bytes(), 4)), std::tuple(8, 0));
    EXPECT_EQ(b.offset(), 8u + 2 + 4);
    // A block may end exactly at 64 K; the next would start out of reach.
    EXPECT_TRUE(b.appendBlock(std::vector<std::uint8_t>(0x10000 - 14 - 2, 0), 4));
    EXPECT_FALSE(b.appendBlock(ConstByteSpan(data, 1), 6));
    EXPECT_TRUE(b.overflowed());
    EXPECT_EQ(getLE16(b.bytes(), 6), 0);
}

TEST(Compiler, ByteOrderPassToleratesBrokenReferences) {
    // A little-endian image whose references lead outside it.
    std::vector<std::uint8_t> bad(936, 0);
    putLE16(bad, drv::kHModuleCount, 1);
    putLE16(bad, drv::kHModeRefs, 934);  // length word at the very end
    putLE16(bad, 934, 50);               // data would run past the end
    putLE16(bad, drv::kHHelpRef, 5000);
    putLE16(bad, mod(0) + drv::kMTemplateRef, 0xFFFF);
    EXPECT_FALSE(swapDriverByteOrder(bad));
    EXPECT_EQ(getLE16(bad, 934), 50);  // the block was left alone
    std::vector<std::uint8_t> tiny(100, 0);
    EXPECT_FALSE(swapDriverByteOrder(tiny));
    std::vector<std::uint8_t> lying(488, 0);  // claims 16 module records
    putLE16(lying, drv::kHModuleCount, 16);
    EXPECT_FALSE(swapDriverByteOrder(lying));
}
