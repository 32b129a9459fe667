// The library search reads each file only as far as its test needs. Held
// here to the reading of whole files: the same verdict and the same values
// on every file of a corpus of good and damaged sources, and the same
// results for every row of the settings tree.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "source/schema.h"
#include "source/search.h"
#include "source/sourcefile.h"
#include "support/random_record.h"
#include "support/temp_dir.h"

using namespace sf;
namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes imageOf(const SourceRecord& r) {
    auto image = buildFileImage(r);
    return image.value_or(Bytes{});
}

std::size_t slotAt(int m, int slot) {
    return rec::moduleBase(m) + rec::slotOffset(slot);
}

// The driver searched from: two modules, random values.
std::unique_ptr<SourceRecord> currentDriver() {
    auto r = testsupport::randomRecord(500, 2);
    r->setModU16(0, rec::kModPacketFlags, 0x2);  // loop sets in module 0,
    r->setModU16(1, rec::kModPacketFlags, 0x0);  // packets in module 1
    return r;
}

// Good sources of many shapes, near copies of the current driver (so that
// same-value searches find something) and damaged files of every kind that
// the reading refuses, or clamps.
struct Corpus {
    TempDir dir;
    std::vector<fs::path> paths;

    void add(const std::string& name, const Bytes& bytes) {
        paths.push_back(dir.touch(name, std::string(bytes.begin(), bytes.end())));
    }

    explicit Corpus(const SourceRecord& current) {
        for (std::uint32_t seed = 1; seed <= 10; ++seed)
            add("random" + std::to_string(seed) + ".d",
                imageOf(*testsupport::randomRecord(seed, static_cast<int>(seed * 7 % 16) + 1)));
        std::mt19937 gen(42);
        auto pick = [&](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n - 1)(gen);
        };
        for (int k = 0; k < 8; ++k) {
            auto near = copyRecord(current);
            for (int flips = 0; flips < k * 4; ++flips)
                near->bytes[rec::kMagicSize + 6 + pick(rec::moduleBase(2) - 14)] ^= 0x21;
            near->setU16(rec::kModuleCount, static_cast<std::uint16_t>(k % 3 == 0 ? 1 : 2));
            add("near" + std::to_string(k) + ".d", imageOf(*near));
        }

        // A source with blocks in every slot kind, then damaged.
        auto r = testsupport::randomRecord(11, 3);
        r->setModU16(0, rec::kModHasMacro, 1);
        r->setModU16(0, rec::kModSubBankCount, 2);
        r->block(0, rec::kSlotRomNames0) = Bytes(30, 'a');
        r->block(0, rec::kSlotConverter) = Bytes(20, 1);
        r->block(0, rec::kSlotMacros) = [] {
            testsupport::RecordRng rng(3);
            return testsupport::randomMacroList(rng, 3, 0);
        }();
        const Bytes good = imageOf(*r);
        add("good.d", good);
        const std::size_t romSlot = slotAt(0, rec::kSlotRomNames0),
                          macroSlot = slotAt(0, rec::kSlotMacros);
        const std::size_t macroBlock = getBE32(good, macroSlot + rec::kSlotStoredOffset);
        const std::size_t one = rec::moduleBase(1), three = rec::moduleBase(3);
        const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> damages = {
            {"empty", [](Bytes& b) { b.clear(); }},
            {"magic", [](Bytes& b) { b[7] = 'e'; }},
            {"count0", [](Bytes& b) { putBE16(b, rec::kModuleCount, 0); }},
            {"count17", [](Bytes& b) { putBE16(b, rec::kModuleCount, 17); }},
            {"count0300", [](Bytes& b) { putBE16(b, rec::kModuleCount, 0x0300); }},
            {"count4", [](Bytes& b) { putBE16(b, rec::kModuleCount, 4); }},
            {"count2", [](Bytes& b) { putBE16(b, rec::kModuleCount, 2); }},
            {"cutheader", [](Bytes& b) { b.resize(rec::kHeaderSize - 1); }},
            {"cutmodule0", [](Bytes& b) { b.resize(one - 1); }},
            {"justmodule0", [](Bytes& b) { b.resize(one); }},
            {"cutmodule2", [](Bytes& b) { b.resize(three - 1); }},
            {"noblocks", [](Bytes& b) { b.resize(three); }},
            {"cutlastblock", [](Bytes& b) { b.pop_back(); }},
            {"blockatend",
             [romSlot](Bytes& b) {
                 putBE32(b, romSlot + 6, static_cast<std::uint32_t>(b.size()));
             }},
            {"blockstraddling",
             [romSlot](Bytes& b) {
                 putBE32(b, romSlot + 6, static_cast<std::uint32_t>(b.size() - 1));
             }},
            {"blockoverflowing",
             [romSlot](Bytes& b) {
                 putBE32(b, romSlot + 6, 0xFFFFFFFFu);
                 putBE16(b, romSlot + 4, 0xFFFF);
             }},
            {"macrooutside", [macroSlot](Bytes& b) { putBE32(b, macroSlot + 6, 0x7FFFFFF0u); }},
            {"macroinheader", [macroSlot](Bytes& b) { putBE32(b, macroSlot + 6, 100); }},
            {"macrooffset", [macroBlock](Bytes& b) { putBE32(b, macroBlock + 2, 0x00FFFFFFu); }},
            {"macrocount", [macroBlock](Bytes& b) { putBE16(b, macroBlock, 0xFFFF); }},
            {"nomacroeditor",
             [](Bytes& b) { putBE16(b, rec::moduleBase(0) + rec::kModHasMacro, 2); }},
            {"subbanks17",
             [](Bytes& b) { putBE16(b, rec::moduleBase(0) + rec::kModSubBankCount, 17); }},
            {"subbanksnegative",
             [](Bytes& b) { putBE16(b, rec::moduleBase(0) + rec::kModSubBankCount, 0xFFFF); }},
            {"sizezero", [romSlot](Bytes& b) { putBE16(b, romSlot + 4, 0); }},
        };
        // Without blocks, whole and one byte short of its last module.
        {
            auto plain = testsupport::randomRecord(12, 2);
            for (auto& b : plain->blocks) b.reset();
            Bytes b = imageOf(*plain);
            add("plain.d", b);
            b.pop_back();
            add("plaincut.d", b);
        }
        // Good, with bytes after the last block: up to a page boundary (where
        // a batch cannot tell the end of the file from a page not yet in
        // memory), and beyond what a batch holds of a file.
        {
            Bytes b = good;
            b.resize((b.size() / 4096 + 1) * 4096, 0);
            add("padtopage.d", b);
            b.resize(100 * 1024, 0x55);
            add("padbeyondbatch.d", b);
        }
        for (const auto& [name, damage] : damages) {
            Bytes b = good;
            damage(b);
            add(std::string(name) + ".d", b);
        }
        // Bytes changed at random, some of them in counts, flags and slots.
        for (int k = 0; k < 12; ++k) {
            Bytes b = good;
            for (int flips = 0; flips < 1 + k; ++flips)
                b[pick(b.size())] = static_cast<std::uint8_t>(pick(256));
            add("garbled" + std::to_string(k) + ".d", b);
        }
        // The seeds of the fuzz targets: sources, and files that are none.
        std::error_code ec;
        for (const auto& e :
             fs::recursive_directory_iterator(fs::path(SF_SOURCE_DIR) / "fuzz" / "seeds", ec))
            if (e.is_regular_file()) paths.push_back(e.path());
        dir.touch("folder.d/x.d");
        paths.push_back(dir.path() / "folder.d");  // a folder named like a source
        paths.push_back(dir.path() / "missing.d");
    }
};

const Corpus& corpus() {
    static const auto current = currentDriver();
    static const Corpus c(*current);
    return c;
}

}  // namespace

// Read one by one, and in batches (where this system runs them).
TEST(SearchCorpus, ProbeGivesTheVerdictAndValuesOfTheWholeFile) {
    const auto rows = buildTreeRows(*testsupport::randomRecord(1, 16));
    const auto& paths = corpus().paths;
    std::vector<std::string> names;
    for (const fs::path& p : paths) names.push_back(p.native());
    for (auto batches : {SourceFileProbe::Batches::Never, SourceFileProbe::Batches::Always}) {
        SCOPED_TRACE(batches == SourceFileProbe::Batches::Never ? "one by one" : "in batches");
        SourceFileProbe probe(batches);  // one probe for all files, as a reader uses it
        int good = 0, damaged = 0;
        for (std::size_t first = 0; first < paths.size(); first += SourceFileProbe::kBatch) {
            const std::size_t n = std::min(SourceFileProbe::kBatch, paths.size() - first);
            std::vector<const std::string*> batch;
            for (std::size_t i = 0; i < n; ++i) batch.push_back(&names[first + i]);
            probe.readAhead(batch);
            for (std::size_t i = 0; i < n; ++i) {
                const fs::path& path = paths[first + i];
                auto read = readSourceFile(path);
                ASSERT_EQ(probe.select(i), static_cast<bool>(read)) << path;
                if (!read) {
                    ++damaged;
                    continue;
                }
                ++good;
                const SourceRecord* whole = &*read;
                ASSERT_EQ(probe.modules(), walkedModuleCount(*whole)) << path;
                for (std::size_t off = 0; off + 4 <= rec::kRecordSize; ++off) {
                    ASSERT_EQ(probe.number(off, 1), whole->u8(off)) << path << " @" << off;
                    ASSERT_EQ(probe.number(off, 2), whole->u16(off)) << path << " @" << off;
                    ASSERT_EQ(probe.number(off, 4), whole->u32(off)) << path << " @" << off;
                }
                for (const TreeRow& row : rows) {
                    if (auto f = textField(*whole, row.ref)) {
                        ASSERT_EQ(probe.text(f->offset, f->size), whole->text(f->offset, f->size))
                            << path << " " << row.ref.id;
                    }
                }
                for (int m = 0; m < rec::kModules; ++m)
                    for (int s = 0; s < rec::kSlotsPerModule; ++s) {
                        const auto& b = whole->block(m, s);
                        ASSERT_EQ(probe.hasBlock(m, s), b.has_value() && !b->empty())
                            << path << " " << m << "/" << s;
                    }
            }
        }
        EXPECT_GE(good, 27);
        EXPECT_GE(damaged, 20);
    }
}

TEST(SearchCorpus, SameResultsAsReadingWholeFiles) {
    const auto current = currentDriver();
    const auto& paths = corpus().paths;
    std::vector<std::unique_ptr<SourceRecord>> whole;
    for (const auto& p : paths) {
        auto r = readSourceFile(p);
        whole.push_back(r ? r.take() : nullptr);
    }
    int searches = 0, found = 0;
    for (const TreeRow& row : buildTreeRows(*current)) {
        if (row.ref.index2 > 1) continue;  // two of each repeated group
        for (SearchMode mode :
             {SearchMode::SameValue, SearchMode::DifferentValue, SearchMode::NonEmpty}) {
            if (!searchEnabled(mode, row.ref.item)) continue;
            std::vector<std::pair<fs::path, int>> expected, got;
            for (std::size_t i = 0; i < paths.size(); ++i) {
                if (!whole[i]) continue;
                if (auto hit = matchDriver(*current, row.ref, mode, *whole[i]))
                    expected.emplace_back(paths[i], hit->index1);
            }
            const SearchResult r = searchDrivers(*current, row.ref, mode, paths);
            for (const auto& m : r.matches) got.emplace_back(m.path, m.ref.index1);
            ASSERT_EQ(got, expected) << "setting " << row.ref.id << ":" << row.ref.index1 << ":"
                                     << row.ref.index2 << " mode " << static_cast<int>(mode);
            ASSERT_EQ(r.examined, static_cast<int>(paths.size()));
            ++searches;
            found += static_cast<int>(got.size());
        }
    }
    EXPECT_GT(searches, 300);
    EXPECT_GT(found, 1000);
}
