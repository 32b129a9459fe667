#include "editor/document.h"

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <utility>
#include <vector>

#include "framework/prompter.h"
#include "support/temp_dir.h"

using sf::testsupport::readText;
using sf::testsupport::TempDir;

using namespace sf;

namespace {

// Identical in every byte and every block slot, walked or not.
bool identical(const SourceRecord& a, const SourceRecord& b) {
    return a.bytes == b.bytes && a.blocks == b.blocks;
}

const std::size_t kDriverVersion = rec::kDriverVersion;

void setModuleName(SourceRecord& r, int m, const char* name) {
    r.setText(rec::moduleBase(m) + rec::kModName, rec::kModNameSize, name);
}

struct ViewSpy : SourceDocObserver {
    std::optional<SettingRef> row;
    std::vector<std::optional<SettingRef>> replaced;
    const SourceDoc* doc = nullptr;
    std::vector<std::pair<bool, bool>> commandsSeen;  // canUndo, canRedo at each notice
    std::optional<SettingRef> currentRow() const override { return row; }
    void recordReplaced(std::optional<SettingRef> r) override {
        replaced.push_back(r);
        if (doc) commandsSeen.emplace_back(doc->canUndo(), doc->canRedo());
    }
};

// Undo and redo kept with whole copies: the document must behave exactly like it.
struct ReferenceDoc {
    using List = std::vector<std::unique_ptr<SourceRecord>>;  // back() is the top
    std::unique_ptr<SourceRecord> working, undoBase, savedBase;
    List undo, redo;
    bool modified = false;  // as of the last checkpoint, undo, redo or save
    explicit ReferenceDoc(const SourceRecord& r)
        : working(copyRecord(r)), undoBase(copyRecord(r)), savedBase(copyRecord(r)) {}
    static void push(List& list, std::unique_ptr<SourceRecord> m) {
        if (list.empty() || !sameRecord(*m, *list.back())) list.push_back(std::move(m));
    }
    void checkpoint() {
        if (!sameRecord(*working, *undoBase)) {
            redo.clear();
            push(undo, std::exchange(undoBase, copyRecord(*working)));
        }
        modified = !sameRecord(*working, *savedBase);
    }
    // Undo moves the top of `from` into the working copy and the replaced state onto `to`.
    void step(List& from, List& to) {
        if (from.empty()) return;
        auto m = std::move(from.back());
        from.pop_back();
        push(to, std::exchange(working, copyRecord(*m)));
        undoBase = std::move(m);
        modified = !sameRecord(*working, *savedBase);
    }
};

// The list holds exactly `ref`'s states, `ref.back()` on top.
void expectListsEqual(const UndoList& list, std::span<const std::unique_ptr<SourceRecord>> ref) {
    ASSERT_EQ(list.size(), ref.size());
    for (std::size_t d = 0; d < ref.size(); ++d)
        ASSERT_TRUE(identical(*list.stateAt(d), *ref[ref.size() - 1 - d])) << "depth " << d;
}

}  // namespace

TEST(SourceDoc, UndoRedoOfModuleCountAndTheView) {
    SourceDoc doc(newSource());
    ViewSpy view;
    view.doc = &doc;
    view.row = SettingRef{107, 2, -1, -1, nullptr};
    doc.setObserver(&view);
    SourceRecord& w = doc.working();
    w.setU16(rec::kModuleCount, 3);
    setModuleName(w, 1, "Module");
    setModuleName(w, 2, "Module");
    w.block(2, rec::kSlotConverter) = Block{1, 2, 3};
    doc.checkpoint();

    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(&doc.working(), &w);  // editors keep a valid reference
    EXPECT_TRUE(identical(w, *newSource()) && identical(doc.undoBase(), w));
    ASSERT_EQ(view.replaced.size(), 1u);
    EXPECT_EQ(view.replaced[0]->index1, 2);
    // The view is told after both lists are up to date.
    EXPECT_EQ(view.commandsSeen.back(), (std::pair<bool, bool>{false, true}));

    view.row.reset();
    ASSERT_TRUE(doc.redo());
    EXPECT_EQ(*w.block(2, rec::kSlotConverter), (Block{1, 2, 3}));
    EXPECT_FALSE(view.replaced.back().has_value());
    EXPECT_EQ(view.commandsSeen.back(), (std::pair<bool, bool>{true, false}));
}

TEST(SourceDoc, SaveOpenAndModifiedState) {
    TempDir dir;
    const auto path = dir.path() / "drv.d";
    RecordingPrompter prompter;
    SourceDoc doc(newSource());
    doc.working().setU16(kDriverVersion, 200);
    doc.checkpoint();
    // Saved with its driver; the lists across saves are the reference walk's.
    ASSERT_TRUE(doc.save(path, &prompter) && !doc.isModified());
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "drv.dev"));
    // Opening gives the saved record, unmodified and without steps.
    auto opened = SourceDoc::open(path, &prompter);
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(sameRecord(opened->working(), doc.working()));
    EXPECT_FALSE(opened->isModified() || opened->canUndo());
    // A damaged file: no document, the reason shown.
    EXPECT_EQ(SourceDoc::open(dir.path() / "drv.dev", &prompter), nullptr);
    EXPECT_EQ(prompter.messages.at(0).text, kMsgWrongOrDamaged);
    EXPECT_THROW(SourceDoc(dir.path() / "missing.d", nullptr), SourceOpenError);
    EXPECT_TRUE(identical(SourceDoc(nullptr).working(), *newSource()));  // null: a new source
}

TEST(SourceDoc, FailedSaveKeepsEverything) {
    TempDir dir;
    RecordingPrompter prompter;
    SourceDoc doc(newSource());
    // No module with a name: refused before anything is compiled or written.
    setModuleName(doc.working(), 0, "");
    doc.checkpoint();
    auto savedBefore = copyRecord(doc.savedBase());
    EXPECT_FALSE(doc.save(dir.path() / "x.d", &prompter));
    EXPECT_TRUE(doc.isModified() && identical(doc.savedBase(), *savedBefore));
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[0].text, kMsgNoValidModule);
    EXPECT_EQ(prompter.messages[1].text, kMsgErrorWhileSaving);
    EXPECT_EQ(dir.entries(), 0);
    // A folder that does not exist.
    setModuleName(doc.working(), 0, "Module");
    doc.working().setU16(kDriverVersion, 5);
    doc.checkpoint();
    EXPECT_FALSE(doc.save(dir.path() / "no" / "such" / "x.d", &prompter));
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(prompter.messages.back().text, kMsgErrorWhileSaving);
}

// ROM names filling most of 64 KB; with `overflow` one more block lies out of reach.
void growPastTheDriver(SourceRecord& r, bool overflow) {
    for (int m = 0; m < 3; ++m) setModuleName(r, m, "Module");
    for (int m = 0; m < 2; ++m) {
        r.setModU16(m, rec::kModFlags, 0x0008);  // displays names
        r.setModU16(m, rec::kModSubBankCount, 1);
        r.setU16(rec::moduleBase(m) + rec::subBankBase(0) + rec::kSbType, 2);  // ROM
        r.block(m, 0) = Block(40000, 'n');
    }
    const std::size_t units = rec::moduleBase(2) + 64;  // a message of 40 units
    r.setU16(units, 0xF0);
    r.setU16(units + 80, overflow ? 1 : 0);
}

TEST(SourceDoc, SourceTooLargeForADriverIsSavedWithoutIt) {
    TempDir dir;
    const auto path = dir.path() / "drv.d";
    RecordingPrompter prompter;
    SourceDoc doc(newSource());
    growPastTheDriver(doc.working(), false);
    doc.checkpoint();
    ASSERT_TRUE(doc.save(path, &prompter));
    ASSERT_TRUE(prompter.messages.empty());
    const std::string driverBefore = readText(dir.path() / "drv.dev");
    const std::string sourceBefore = readText(path);

    growPastTheDriver(doc.working(), true);
    doc.checkpoint();
    EXPECT_TRUE(doc.save(path, &prompter) && !doc.isModified());
    EXPECT_EQ(readText(dir.path() / "drv.dev"), driverBefore);
    EXPECT_EQ(readText(dir.path() / "drv.bak"), sourceBefore);
    auto reopened = SourceDoc::open(path, &prompter);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->working().u16(rec::moduleBase(2) + 64 + 80), 1);  // the new block
    ASSERT_EQ(prompter.messages.size(), 1u);
    const std::string& said = prompter.messages[0].text;
    EXPECT_EQ(prompter.messages[0].icon, MessageIcon::Exclamation);
    for (const char* part : {"Module 3, block", "bytes past 65535", "drv.dev was not written"})
        EXPECT_NE(said.find(part), std::string::npos) << said;
}

TEST(UndoList, CapacityEqualityAndExactStates) {
    UndoList list(3);
    std::vector<std::unique_ptr<SourceRecord>> states;
    for (int i = 0; i < 5; ++i) {
        auto r = newSource();
        r->setU16(kDriverVersion, static_cast<std::uint16_t>(i));
        r->block(0, rec::kSlotRomNames0 + 9) = Block(static_cast<std::size_t>(i), 0xAB);  // hidden
        states.push_back(copyRecord(*r));
        EXPECT_TRUE(list.push(std::move(r)));
    }
    // Equal to the top by sameRecord (the differing block is not walked): discarded.
    auto same = copyRecord(*states[4]);
    same->block(0, rec::kSlotRomNames0 + 9).reset();
    EXPECT_FALSE(list.push(std::move(same)));
    // The two oldest were dropped; the others come back exactly, newest first.
    ASSERT_NO_FATAL_FAILURE(expectListsEqual(list, {states.begin() + 2, states.end()}));
}

TEST(SourceDoc, MatchesWholeCopyReferenceOnRandomEdits) {
    TempDir dir;
    // Few places and values, so that equal states and returns to earlier ones are common.
    const std::size_t m0 = rec::moduleBase(0), m1 = rec::moduleBase(1);
    const std::size_t name0 = m0 + rec::kModName, name1 = m1 + rec::kModName;
    const std::size_t banks0 = m0 + rec::kModSubBankCount, banks1 = m1 + rec::kModSubBankCount;
    const std::size_t macro0 = m0 + rec::kModHasMacro, far = rec::moduleBase(15) + 1000;
    const std::size_t last = rec::kRecordSize - 1;
    const std::size_t places[] = {
        kDriverVersion, rec::kModuleCount, last, name0, name1, banks0, banks1, macro0, far};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        auto start = newSource();
        start->setModU16(0, rec::kModSubBankCount, 3);
        SourceDoc doc(copyRecord(*start));
        ReferenceDoc ref(*start);
        RecordingPrompter prompter;
        for (int step = 0; step < 300; ++step) {
            const unsigned op = rng() % 100;
            if (op < 45) {  // a number, a name byte or a count
                const std::size_t at = places[rng() % std::size(places)];
                auto v = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0 : rng() % 4);
                if ((at == name0 || at == name1) && v != 0) v = static_cast<std::uint8_t>('A' + v);
                for (SourceRecord* r : {&doc.working(), ref.working.get()}) r->setU8(at, v);
            } else if (op < 60) {  // a block removed or replaced
                const int m = static_cast<int>(rng() % 2),
                          slot = static_cast<int>(rng() % rec::kSlotsPerModule);
                std::optional<Block> b;
                if (rng() % 3 != 0) b = Block(1 + rng() % 40, static_cast<std::uint8_t>(rng() % 3));
                for (SourceRecord* r : {&doc.working(), ref.working.get()}) r->block(m, slot) = b;
            }
            if ((op < 60 && rng() % 5 != 0) ||
                (op >= 94 && op < 97)) {  // some changes wait for a checkpoint
                doc.checkpoint();
                ref.checkpoint();
            } else if (op >= 60 && op < 78) {
                doc.undo();
                ref.step(ref.undo, ref.redo);
            } else if (op >= 78 && op < 94) {
                doc.redo();
                ref.step(ref.redo, ref.undo);
            } else if (op >= 97 && doc.save(dir.path() / "rand.d", &prompter)) {
                ref.savedBase = copyRecord(*ref.working);
                ref.modified = false;
            }
            ASSERT_TRUE(identical(doc.working(), *ref.working) &&
                        identical(doc.undoBase(), *ref.undoBase) &&
                        identical(doc.savedBase(), *ref.savedBase))
                << "seed " << seed << " step " << step;
            ASSERT_EQ(doc.isModified(), ref.modified);
            ASSERT_NO_FATAL_FAILURE(expectListsEqual(doc.undoList(), ref.undo));
            ASSERT_NO_FATAL_FAILURE(expectListsEqual(doc.redoList(), ref.redo));
        }
    }
}
