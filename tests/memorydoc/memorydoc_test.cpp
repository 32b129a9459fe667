#include "sysex/memorydoc.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "framework/fileio.h"
#include "framework/prompter.h"
#include "support/temp_dir.h"

using namespace sf;
using sf::testsupport::readText;
using sf::testsupport::TempDir;
using sf::testsupport::writeText;

namespace {

std::vector<std::uint8_t> everyByte() {
    std::vector<std::uint8_t> b(512);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(255 - i % 256);
    return b;
}

std::string asText(const std::vector<std::uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST(MemoryDoc, OpensAndSavesByteForByteKeepingTheBackup) {
    TempDir dir;
    const auto bytes = everyByte();
    writeText(dir / "dump.syx", asText(bytes));
    writeText(dir / "dump.bak", "older backup");
    RecordingPrompter p;
    auto doc = MemoryDoc::open(dir / "dump.syx", &p);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->data(), bytes);
    EXPECT_FALSE(doc->isModified() || doc->isUntitled());

    // Save as a new name: nothing to back up there.
    ASSERT_TRUE(doc->saveAs(dir / "copy.bin", &p));
    EXPECT_EQ(readText(dir / "copy.bin"), asText(bytes));
    EXPECT_EQ(doc->path(), dir / "copy.bin");
    EXPECT_FALSE(std::filesystem::exists(dir / "copy.bak"));

    // Save over the original: the previous file replaces the older backup.
    writeText(dir / "dump.syx", "previous");
    ASSERT_TRUE(doc->saveAs(dir / "dump.syx", &p));
    EXPECT_EQ(readText(dir / "dump.syx"), asText(bytes));
    EXPECT_EQ(readText(dir / "dump.bak"), "previous");
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(dir.entries(), 3);  // no temporary file left
}

TEST(MemoryDoc, CapturedBlockIsUntitledAndModifiedUntilSaved) {
    TempDir dir;
    MemoryDoc doc({0xF0, 0x7E, 0xF7}, true);
    EXPECT_TRUE(doc.isUntitled() && doc.isModified());
    EXPECT_FALSE(doc.save(nullptr) || doc.revert(nullptr));
    ASSERT_TRUE(doc.saveAs(dir / "bulk.syx", nullptr));
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(readText(dir / "bulk.syx"), "\xF0\x7E\xF7");
    writeText(dir / "bulk.syx", "changed on disk");
    ASSERT_TRUE(doc.revert(nullptr));
    EXPECT_EQ(asText(doc.data()), "changed on disk");
    // Saving onto the backup's own name keeps no second copy.
    writeText(dir / "x.bak", "old");
    ASSERT_TRUE(doc.saveAs(dir / "x.bak", nullptr));
    EXPECT_EQ(readText(dir / "x.bak"), "changed on disk");
    EXPECT_EQ(dir.entries(), 2);
}

TEST(MemoryDoc, FailedSaveLeavesEveryFileAndTheDocumentAsTheyWere) {
    for (FileOp op : {FileOp::Write, FileOp::Sync, FileOp::Link, FileOp::Rename}) {
        TempDir dir;
        writeText(dir / "a.bin", "previous");
        writeText(dir / "a.bak", "older");
        MemoryDoc doc(everyByte(), true);
        int calls = 0;
        // Fail the first operation of that kind (a rename: the new file going into place).
        setFileFaultHook(
            [&](FileOp o, const fs::path&) { return o == op && calls++ == 0 ? EIO : 0; });
        RecordingPrompter p;
        EXPECT_FALSE(doc.saveAs(dir / "a.bin", &p)) << int(op);
        setFileFaultHook(nullptr);
        EXPECT_EQ(readText(dir / "a.bin") + readText(dir / "a.bak"), "previousolder") << int(op);
        EXPECT_EQ(dir.entries(), 2) << int(op);
        EXPECT_TRUE(doc.isUntitled() && doc.isModified());
        EXPECT_EQ(p.messages.size(), 1u);
    }
}

TEST(MemoryDoc, UnreadableFileIsReportedAndOpensNothing) {
    TempDir dir;
    RecordingPrompter p;
    EXPECT_EQ(MemoryDoc::open(dir / "missing.bin", &p), nullptr);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_NE(p.messages[0].text.find("This file could not be opened."), std::string::npos);
    // A file gone since it was opened: the document keeps its bytes.
    writeText(dir / "f.bin", "abc");
    auto doc = MemoryDoc::open(dir / "f.bin");
    ASSERT_TRUE(doc);
    std::filesystem::remove(dir / "f.bin");
    EXPECT_FALSE(doc->revert(&p));
    EXPECT_EQ(asText(doc->data()), "abc");
}
