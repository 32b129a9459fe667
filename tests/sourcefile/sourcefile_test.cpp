#include "source/sourcefile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "framework/fileio.h"
#include "framework/prompter.h"
#include "support/random_record.h"
#include "support/temp_dir.h"

using namespace sf;
using testsupport::readText;
using testsupport::TempDir;
using testsupport::writeText;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes build(const SourceRecord& r) {
    auto img = buildFileImage(r, nullptr);
    EXPECT_TRUE(img.has_value());
    return img.value_or(Bytes{});
}

// Slot of `slot` in module m, absolute offset in the image.
std::size_t slotAt(int m, int slot) {
    return rec::moduleBase(m) + rec::slotOffset(slot);
}

// The driver version of the source at `path`; -1 when it does not read.
int savedVersion(const fs::path& path) {
    auto r = readSourceFile(path);
    return r ? r->u16(rec::kDriverVersion) : -1;
}

struct HookGuard {
    explicit HookGuard(FileFaultHook h) { setFileFaultHook(std::move(h)); }
    ~HookGuard() { setFileFaultHook(nullptr); }
};

}  // namespace

TEST(SourceFile, RandomRecordsRoundTrip) {
    // One reader reused across large and small sources and damaged files reads
    // what a fresh read does.
    SourceImageReader reader;
    for (std::uint32_t seed = 1; seed <= 48; ++seed) {
        SCOPED_TRACE(seed);
        const int modules = static_cast<int>(seed % 16) + 1;
        auto r = testsupport::randomRecord(seed, modules);
        const Bytes img = build(*r);
        auto back = readSourceImage(img);
        ASSERT_TRUE(back);
        EXPECT_TRUE(sameRecord(*r, *back));
        EXPECT_EQ(walkedModuleCount(*back), modules);
        EXPECT_EQ(build(*back), img);  // saving what was read gives the same bytes

        const Bytes cut(img.begin(), img.end() - (seed % 5 == 0 ? 1 : 0));
        EXPECT_EQ(reader.read(cut) == nullptr, seed % 5 == 0);
        const SourceRecord* viaReader = reader.read(img);
        ASSERT_NE(viaReader, nullptr);
        EXPECT_TRUE(sameRecord(*viaReader, *back));
        EXPECT_EQ(viaReader->bytes, back->bytes);
    }
}

TEST(SourceFile, TruncatedDamagedAndMissingFilesAreRefused) {
    auto r = testsupport::randomRecord(7, 1);
    r->block(0, rec::kSlotConverter) = Bytes(20, 0);  // the file ends with a block
    const Bytes img = build(*r);
    ASSERT_GT(img.size(), rec::kHeaderSize + rec::kModuleSize);
    for (std::size_t len = 0; len < img.size(); ++len) {
        auto res = readSourceImage(ConstByteSpan(img).first(len));
        ASSERT_FALSE(res) << "length " << len;
        EXPECT_EQ(res.error().text, "Wrong or damaged file!");
    }
    EXPECT_TRUE(readSourceImage(img));

    TempDir d;
    RecordingPrompter p;
    auto res = readSourceFile(d / "none.d", &p);
    ASSERT_FALSE(res);
    EXPECT_EQ(std::tuple(res.error().kind, res.error().messageNumber),
              std::tuple(SourceReadError::Kind::FileAccess, 18000));
    writeText(d / "bad.d", "DEV_SRC");
    res = readSourceFile(d / "bad.d", &p);
    ASSERT_FALSE(res);
    EXPECT_EQ(res.error().kind, SourceReadError::Kind::Damaged);
    ASSERT_EQ(p.messages.size(), 2u);
    EXPECT_EQ(p.messages[1].text, "Wrong or damaged file!");
}

TEST(SourceFile, DamagedFilesAreRefusedOrClamped) {
    auto r = testsupport::randomRecord(11, 2);
    r->setModU16(0, rec::kModHasMacro, 1);
    r->setModU16(0, rec::kModSubBankCount, 2);
    r->block(0, rec::kSlotRomNames0) = Bytes(30, 'a');
    r->block(0, rec::kSlotMacros) = [] {
        testsupport::RecordRng rng(3);
        return testsupport::randomMacroList(rng, 3, 0);
    }();
    const Bytes good = build(*r);
    const std::size_t romSlot = slotAt(0, rec::kSlotRomNames0);
    const std::size_t macroSlot = slotAt(0, rec::kSlotMacros);
    const std::size_t macroBlock = getBE32(good, macroSlot + rec::kSlotStoredOffset);
    const std::size_t subBanks = rec::moduleBase(0) + rec::kModSubBankCount;
    struct Case {
        const char* what;
        std::size_t at;  // a big-endian field of `width` bytes, or a damage of its own
        std::uint32_t value;
        int width;
        bool loads;
        std::function<void(Bytes&)> damage = nullptr;
    };
    const std::vector<Case> cases = {
        {"wrong magic", 3, 'x', 1, false},
        {"module count 0", 12, 0, 2, false},
        {"module count 17", 12, 17, 2, false},
        {"module count 0x0300", 12, 0x0300, 2, false},  // 00 03 read the wrong way round
        {"count 3 but only 2 modules stored", 12, 3, 2, false,
         [](Bytes& b) { b.resize(rec::kHeaderSize + 2 * rec::kModuleSize + 100); }},
        {"block offset at the end", romSlot + 6, std::uint32_t(good.size()), 4, false},
        {"block straddling the end", romSlot + 6, std::uint32_t(good.size() - 1), 4, false},
        {"offset + size overflowing", romSlot + 6, 0xFFFFFFFFu, 4, false,
         [romSlot](Bytes& b) { putBE16(b, romSlot + 4, 0xFFFF); }},
        {"macro block outside the file", macroSlot + 6, 0x7FFFFFF0u, 4, false},
        {"macro list offset outside its block", macroBlock + 2, 0x00FFFFFFu, 4, false},
        {"macro count beyond its block", macroBlock, 0xFFFF, 2, false},
        // Sub-bank counts outside 0..16 only clamp the walk; counts of messages and
        // converter operations steer no walk here.
        {"17 sub-banks", subBanks, 17, 2, true},
        {"negative sub-bank count", subBanks, 0xFFFF, 2, true},
        {"message count above capacity", 192, 0x7FFF, 2, true},
        {"converter count without block", rec::moduleBase(1) + rec::kModConverterCount, 999, 2,
         true},
        {"size 0 means no block", romSlot + 4, 0, 2, true},
    };
    for (const auto& c : cases) {
        Bytes b = good;
        if (c.damage) c.damage(b);
        if (c.width == 1) b[c.at] = static_cast<std::uint8_t>(c.value);
        if (c.width == 2) putBE16(b, c.at, static_cast<std::uint16_t>(c.value));
        if (c.width == 4) putBE32(b, c.at, c.value);
        RecordingPrompter p;
        auto res = readSourceImage(b, &p);
        EXPECT_EQ(static_cast<bool>(res), c.loads) << c.what;
        if (!c.loads) {
            ASSERT_EQ(p.messages.size(), 1u) << c.what;
            EXPECT_EQ(p.messages[0].text, "Wrong or damaged file!");
            EXPECT_EQ(p.messages[0].icon, MessageIcon::Stop);
        } else {
            EXPECT_TRUE(p.messages.empty()) << c.what;
            // What was loaded saves and loads again unchanged.
            auto again = readSourceImage(build(*res));
            ASSERT_TRUE(again) << c.what;
            EXPECT_TRUE(sameRecord(*res, *again)) << c.what;
        }
    }
}

TEST(SourceFile, ModulesCutAtFirstUnnamedOne) {
    // Module 1 without a name: only module 0 is stored, whatever the count says.
    auto r = newSource();
    r->setU16(rec::kModuleCount, 3);
    for (int m : {0, 2}) r->setText(rec::moduleBase(m), rec::kModNameSize, "M");
    const Bytes img = build(*r);
    EXPECT_EQ(img.size(), rec::kHeaderSize + rec::kModuleSize);
    EXPECT_EQ(getBE16(img, rec::kModuleCount), 1);  // stored big-endian
    auto back = readSourceImage(img);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text(rec::moduleBase(2), rec::kModNameSize), "");  // slots beyond stay zero
}

TEST(SourceFile, FieldByteOrder) {
    auto r = newSource();
    const std::size_t m = rec::moduleBase(0);
    // Swapped: packets (Use complex loop No: 16-bit at 0, 2 and 4 of each 8 bytes),
    // the last sub-bank's unused locations, a message count. As they lie: reserved
    // words, the filter offset without a macro editor.
    const std::size_t swapped[] = {m + 212, m + 216, m + 212 + 8 * 9 + 4,
                                   m + rec::subBankBase(15) + 30, m + 1200};
    const std::size_t asTheyLie[] = {906, 2096, m + 26, m + 2786, m + rec::kModMacroFilter + 2};
    for (std::uint16_t k = 0; k < 5; ++k) {
        r->setU16(swapped[k], 0xA500 + k);
        r->setU16(asTheyLie[k], 0xB500 + k);
    }
    r->setU8(m + 218, 0xAA);         // spare packet byte stays
    r->setU32(m + 184, 0x01020304);  // Long setting
    Bytes img = build(*r);
    for (std::uint16_t k = 0; k < 5; ++k) {
        EXPECT_EQ(getBE16(img, swapped[k]), 0xA500 + k) << swapped[k];
        EXPECT_EQ(getLE16(img, asTheyLie[k]), 0xB500 + k) << asTheyLie[k];
    }
    EXPECT_EQ(img[m + 218], 0xAA);
    EXPECT_EQ(getBE32(img, m + 184), 0x01020304u);
    EXPECT_EQ(getBE16(img, rec::kFormatVersion), 100);

    // Loop sets (Use complex loop Yes): iteration bytes 0, 1 and 3 unchanged,
    // start values big-endian at 4, 6 and 8 of each 10 bytes.
    r->setU16(m + rec::kModPacketFlags, 0x2);
    r->setModU16(0, rec::kModHasMacro, 1);
    auto at = [&](int t, int k) { return m + 212 + static_cast<std::size_t>(10 * t + k); };
    for (int t = 0; t < 8; ++t) {
        for (int k : {0, 1, 3}) r->setU8(at(t, k), static_cast<std::uint8_t>(0x10 * t + k));
        for (int k : {4, 6, 8}) r->setU16(at(t, k), static_cast<std::uint16_t>(0x100 * t + k));
    }
    img = build(*r);
    for (int t = 0; t < 8; ++t) {
        for (int k : {0, 1, 3}) EXPECT_EQ(img[at(t, k)], 0x10 * t + k) << t;
        for (int k : {4, 6, 8}) EXPECT_EQ(getBE16(img, at(t, k)), 0x100 * t + k) << t;
    }
    EXPECT_EQ(getBE16(img, m + rec::kModMacroFilter + 2), 0xB500 + 4);  // macro editor on: swapped
    auto back = readSourceImage(img);
    ASSERT_TRUE(back);
    EXPECT_TRUE(sameRecord(*r, *back));
}

TEST(SourceFile, BlocksAndMacroEditorFlag) {
    auto r = newSource();
    r->setModU16(0, rec::kModSubBankCount, 2);
    r->block(0, 0) = Bytes{'A', 'B'};
    r->block(0, 5) = Bytes{'Z'};  // sub-bank 5 is not in use: not stored
    r->block(0, rec::kSlotConverter) = Bytes(10, 0);
    (*r->block(0, rec::kSlotConverter))[0] = 1;
    r->block(0, rec::kSlotPatchInfo) = Bytes(1040, 7);
    r->block(0, rec::kSlotReserved) = Bytes{1, 2, 3};
    // Without the macro editor (only 1 means Yes) the macro blocks are dropped
    // and their slots written as 0.
    r->setModU16(0, rec::kModHasMacro, 2);
    Bytes img = build(*r);
    EXPECT_EQ(img.size(), rec::kHeaderSize + rec::kModuleSize + 2 + 10);
    EXPECT_EQ(getBE32(img, slotAt(0, 0) + 6), rec::kHeaderSize + rec::kModuleSize);
    EXPECT_EQ(getBE16(img, slotAt(0, 0) + 4), 2);
    for (int s = rec::kSlotTemplates; s <= rec::kSlotReserved; ++s)
        for (std::size_t k = 0; k < rec::kSlotSize; ++k) EXPECT_EQ(img[slotAt(0, s) + k], 0);
    auto back = readSourceImage(img);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->block(0, rec::kSlotPatchInfo).has_value());
    EXPECT_FALSE(back->block(0, 5).has_value());
    EXPECT_EQ(*back->block(0, 0), (Bytes{'A', 'B'}));

    // Macro editor 1: the blocks follow the converter in slot order.
    r->setModU16(0, rec::kModHasMacro, 1);
    img = build(*r);
    EXPECT_EQ(img.size(), rec::kHeaderSize + rec::kModuleSize + 2 + 10 + 1040 + 3);
    EXPECT_EQ(getBE32(img, slotAt(0, rec::kSlotReserved) + 6), img.size() - 3);
    back = readSourceImage(img);
    ASSERT_TRUE(back);
    EXPECT_TRUE(sameRecord(*r, *back));
    // In memory the slot bytes carry nothing.
    for (std::size_t k = 0; k < rec::kSlotSize; ++k)
        EXPECT_EQ(back->u8(slotAt(0, rec::kSlotReserved) + k), 0);
}

TEST(SourceFile, SaveKeepsOneBackupAndRewritesDriver) {
    TempDir d;
    const fs::path path = d / "synth.d";
    RecordingPrompter p;
    auto r = newSource();
    std::string previous;  // nothing to keep the first time, then only the last version
    for (std::uint16_t version : {100, 101, 102}) {
        r->setU16(rec::kDriverVersion, version);
        const Bytes dev{'D', static_cast<std::uint8_t>('0' + version % 10)};
        ASSERT_TRUE(saveSourceFile(path, *r, &dev, &p));
        EXPECT_EQ(fileExists(d / "synth.bak") ? readText(d / "synth.bak") : "", previous);
        previous = readText(path);
    }
    EXPECT_EQ(readText(d / "synth.dev"), "D2");
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(savedVersion(path), 102);
    EXPECT_EQ(d.entries(), 3);  // no temporary file is left behind
}

TEST(SourceFile, FailedSaveChangesNothing) {
    TempDir d;
    const fs::path path = d / "synth.d";
    auto r = newSource();
    const Bytes dev{'D'};
    writeText(path, "previous");
    writeText(d / "synth.bak", "older");
    writeText(d / "synth.dev", "old driver");
    r->setU16(rec::kDriverVersion, 200);

    auto expectUntouched = [&](const char* what) {
        EXPECT_EQ(readText(path), "previous") << what;
        EXPECT_EQ(readText(d / "synth.bak"), "older") << what;
        EXPECT_EQ(readText(d / "synth.dev"), "old driver") << what;
        EXPECT_EQ(d.entries(), 3) << what;
    };
    struct Case {
        const char* what;
        FileOp op;
        int err, nth, message;  // fail the nth call of that operation (1-based)
        bool noLinks = false;   // links not supported: the previous file is moved aside
    };
    // The file layer's own failures are its tests'; here: each step of the
    // commit of source, driver and backup.
    const Case cases[] = {
        {"quota exceeded writing the driver", FileOp::Write, EDQUOT, 2, 18019},
        {"source cannot be put in place", FileOp::Rename, EIO, 1, 18013},
        {"driver cannot be put in place", FileOp::Rename, EIO, 2, 18013},
        {"backup cannot be renamed", FileOp::Rename, EIO, 3, 18013},
        {"previous file cannot be kept", FileOp::Link, EIO, 1, 18013},
        {"source cannot be put in place after the move aside", FileOp::Rename, EIO, 2, 18013, true},
    };
    for (const Case& c : cases) {
        int calls = 0;
        HookGuard h([&](FileOp op, const fs::path&) {
            if (c.noLinks && op == FileOp::Link) return EPERM;
            return op == c.op && ++calls == c.nth ? c.err : 0;
        });
        RecordingPrompter p;
        EXPECT_FALSE(saveSourceFile(path, *r, &dev, &p)) << c.what;
        setFileFaultHook(nullptr);
        ASSERT_EQ(p.messages.size(), 2u) << c.what;
        const std::string fill = c.message == 18019 ? partitionOf(path) : std::string();
        EXPECT_EQ(p.messages[0].text, formatFileMessage(c.message, fill)) << c.what;
        EXPECT_EQ(p.messages[1].text, "Error while saving!");
        expectUntouched(c.what);
    }
    // A write-protected source or driver refuses the whole save.
    for (const char* locked : {"synth.d", "synth.dev"}) {
        fs::permissions(d / locked, fs::perms::owner_read);
        RecordingPrompter p;
        EXPECT_FALSE(saveSourceFile(path, *r, &dev, &p)) << locked;
        ASSERT_EQ(p.messages.size(), 2u) << locked;
        EXPECT_EQ(p.messages[0].text, formatFileMessage(18000, (d / locked).string()));
        expectUntouched(locked);
        fs::permissions(d / locked, fs::perms::owner_all);
    }
}

TEST(SourceFile, WhereTheSourceAndItsDriverGo) {
    for (const auto& [given, source] : {std::pair{"/w/synth.dev", "/w/synth.d"},
                                        {"/w/synth", "/w/synth.d"},
                                        {"/w/MY.SYNTH.D", "/w/MY.SYNTH.d"},
                                        {"/w/synth.d", "/w/synth.d"},
                                        {"/w/synth.bak", "/w/synth.d"}})
        EXPECT_EQ(sourceFilePath(given), fs::path(source)) << given;

    // Saved under the driver's name, the source survives beside its driver.
    for (const char* given : {"synth.dev", "synth"}) {
        TempDir d;
        RecordingPrompter p;
        auto r = newSource();
        r->setU16(rec::kDriverVersion, 123);
        const Bytes dev{'D', 'E', 'V', ' '};
        ASSERT_TRUE(saveSourceFile(d / given, *r, &dev, &p)) << given;
        EXPECT_EQ(readText(d / "synth.dev"), "DEV ") << given;
        EXPECT_EQ(savedVersion(d / "synth.d"), 123) << given;
        EXPECT_EQ(d.entries(), 2) << given;
    }

    // Saved through a link into a library.
    TempDir d;
    fs::create_directories(d / "lib");
    fs::create_directories(d / "proj");
    const Bytes dev{'D'};
    auto r = newSource();
    RecordingPrompter p;
    fs::create_symlink("../lib/synth.d", d / "proj" / "X.d");
    for (std::uint16_t version : {101, 102}) {
        r->setU16(rec::kDriverVersion, version);
        ASSERT_TRUE(saveSourceFile(d / "proj" / "X.d", *r, &dev, &p));
    }
    EXPECT_TRUE(p.messages.empty());
    EXPECT_TRUE(fs::is_symlink(d / "proj" / "X.d"));
    // The backup lies beside the real file, the driver beside the name saved under.
    EXPECT_EQ(std::pair(savedVersion(d / "lib" / "synth.d"), savedVersion(d / "lib" / "synth.bak")),
              std::pair(102, 101));
    EXPECT_EQ(readText(d / "proj" / "X.dev"), "D");
}
