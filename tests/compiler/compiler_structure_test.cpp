// Walks compiled images of random valid sources by their references only, as
// the host does, and checks the block area and the byte order.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "compiler/compiler_support.h"
#include "support/random_record.h"

using namespace sf;
using namespace sf::test;

namespace {

// Every reference of a module record, sub-bank records aside.
constexpr std::size_t kModuleRefs[] = {
    drv::kMTemplateRef,      drv::kMPacketAreaRef,  drv::kMPattern1Ref,
    drv::kMPattern2Ref,      drv::kMReceiveHelpRef, drv::kMReceiveInitRef,
    drv::kMReceivePreRef,    drv::kMRequest1Ref,    drv::kMRequest2Ref,
    drv::kMReceiveEndRef,    drv::kMSendHelpRef,    drv::kMSendInitRef,
    drv::kMSendPreRef,       drv::kMSendHeader1Ref, drv::kMSendHeader2Ref,
    drv::kMWriteRequestRef,  drv::kMSendEndRef,     drv::kMSubBankSelectRef,
    drv::kMPatchSelectRef,   drv::kMRomNamesRef,    drv::kMPatchHeader1Ref,
    drv::kMPatchHeader2Ref,  drv::kMWrite1Ref,      drv::kMWrite2Ref,
    drv::kMOperationsRef,    drv::kMTemplatesRef,   drv::kMMacrosRef,
    drv::kMPatchInfoRef,     drv::kMValueListsRef,  drv::kMMacroFilterRef,
    drv::kMReservedBlockRef,
};

struct Found {
    std::size_t at, length;
};

// Checks the image against the record it came from.
void checkImage(const SourceRecord& r, const std::vector<std::uint8_t>& img) {
    const std::size_t n = getBE16(img, drv::kHModuleCount);
    ASSERT_EQ(n, static_cast<std::size_t>(validModuleCount(r)));
    const std::size_t fixedEnd = mod(static_cast<int>(n));
    ASSERT_GE(img.size(), fixedEnd);
    ASSERT_EQ(getBE32(img, drv::kHFileSize), img.size());

    std::map<std::size_t, Found> blocks;  // by the reference field's offset
    auto follow = [&](std::size_t refField) -> std::size_t {
        const std::size_t at = getBE16(img, refField);
        if (at == 0) return 0;
        EXPECT_EQ(at % 2, 0u) << refField;
        EXPECT_GE(at, fixedEnd) << refField;
        EXPECT_LE(at + 2, img.size()) << refField;
        if (at + 2 > img.size()) return 0;
        const std::size_t len = getBE16(img, at);
        EXPECT_GT(len, 0u) << refField;
        EXPECT_LE(at + 2 + len + (len & 1), img.size()) << refField;
        if (at + 2 + len + (len & 1) > img.size()) return 0;
        EXPECT_TRUE(len % 2 == 0 || img[at + 2 + len] == 0) << "padding of " << refField;
        blocks[refField] = {at, len};
        return len;
    };
    auto lengthOf = [&](std::size_t refField) -> std::size_t {
        const auto it = blocks.find(refField);
        return it == blocks.end() ? 0 : it->second.length;
    };

    const std::size_t ascii = follow(drv::kHAsciiRef);
    EXPECT_TRUE(ascii == 0 || ascii == 128);
    for (std::size_t ref : {drv::kHHelpRef, drv::kHChildSubBankRef, drv::kHChildPatchRef})
        follow(ref);
    for (std::size_t k = 0; k < 9; ++k) follow(drv::kHModeRefs + 2 * k);
    EXPECT_LE(getBE16(img, drv::kHInstrumentListCount), drv::kMaxInstrumentEntries);

    for (std::size_t i = 0; i < n; ++i) {
        const int m = static_cast<int>(i);
        const std::size_t mr = mod(m);
        EXPECT_EQ(getBE16(img, mr + drv::kMIndex), i);
        EXPECT_EQ(getBE32(img, mr + drv::kMPatchSize), r.u32(rec::moduleBase(m) + 346));
        for (std::size_t ref : kModuleRefs) follow(mr + ref);
        for (std::size_t k = 0; k < 16; ++k) follow(mr + drv::kMSubBankRefs + 2 * k);
        if (!(r.modU16(m, rec::kModFlags) & 0x0008)) {  // no names: the names part stays zero
            for (std::size_t f = drv::kMNamesPart; f < drv::kModuleRecordSize; ++f)
                ASSERT_EQ(img[mr + f], 0) << f;
            continue;
        }
        // Counts the host walks by agree with the lengths of their blocks.
        EXPECT_EQ(lengthOf(mr + drv::kMOperationsRef),
                  10u * getBE16(img, mr + drv::kMOperationCount));
        if (r.modU16(m, rec::kModHasMacro) == 0) continue;
        EXPECT_EQ(lengthOf(mr + drv::kMTemplatesRef),
                  28u * getBE16(img, mr + drv::kMTemplateCount));
        EXPECT_EQ(lengthOf(mr + drv::kMMacroFilterRef), 102u);
        if (blocks.count(mr + drv::kMPatchInfoRef)) {
            const Found f = blocks[mr + drv::kMPatchInfoRef];
            std::size_t rows = 0;
            for (std::size_t d = 0; d < 4; ++d) rows += getBE16(img, f.at + 2 + 2 * d);
            EXPECT_EQ(f.length, 24 + 16 * rows);
        }
        if (blocks.count(mr + drv::kMValueListsRef)) {
            const Found f = blocks[mr + drv::kMValueListsRef];
            ASSERT_EQ(f.length, 1632u);
            std::size_t total = 0;
            for (std::size_t k = 0; k < 8; ++k) {
                EXPECT_EQ(getBE16(img, f.at + 2 + 16 + 2 * k), total);
                total += getBE16(img, f.at + 2 + 2 * k);
            }
            EXPECT_LE(total, 800u);
        }
    }

    // The blocks tile the block area exactly: no gap, no overlap, nothing unreferenced.
    std::vector<std::pair<std::size_t, std::size_t>> sorted;  // start, length
    for (const auto& [ref, f] : blocks) sorted.emplace_back(f.at, f.length);
    std::sort(sorted.begin(), sorted.end());
    std::size_t next = fixedEnd;
    for (const auto& [at, length] : sorted) {
        ASSERT_EQ(at, next);
        next = at + 2 + length + (length & 1);
    }
    EXPECT_EQ(next, img.size());
}

}  // namespace

TEST(CompilerStructure, RandomSourcesWalkCleanly) {
    int compiled = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        // Mostly small drivers (which fit), some with up to 16 modules.
        const int modules = seed % 10 == 0 ? 0 : static_cast<int>(1 + seed % 4);
        auto r = testsupport::randomRecord(seed, modules);
        RecordingPrompter p;
        CompileResult res = compileDriver(*r, &p);
        if (res.error == CompileError::TooLarge) {  // refused as a whole, never wrapped
            EXPECT_TRUE(res.image.empty());
            ASSERT_EQ(p.messages.size(), 1u);
            continue;
        }
        ASSERT_TRUE(res.ok()) << seed;
        EXPECT_TRUE(p.messages.empty());
        SCOPED_TRACE(seed);
        checkImage(*r, res.image);
        if (HasFatalFailure()) return;
        EXPECT_TRUE(seed % 50 || compileDriver(*r).image == res.image);  // deterministic
        ++compiled;
    }
    EXPECT_GT(compiled, 250);
}
