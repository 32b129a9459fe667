#include "editor/docframe.h"

#include <gtest/gtest.h>

#include "framework/prompter.h"
#include "support/temp_dir.h"

using namespace sf;
namespace fs = std::filesystem;

namespace {

struct FakeDoc : ClosableDocument {
    explicit FakeDoc(std::string n = "SYNTH.d", bool m = false) : name(std::move(n)), modified(m) {}
    std::string name;
    bool modified, saveWorks = true;
    int saves = 0;
    std::string displayName() const override { return name; }
    bool isModified() const override { return modified; }
    bool saveForClose() override {
        ++saves;
        if (saveWorks) modified = false;
        return saveWorks;
    }
};

TEST(CloseQuestion, AnswersDecideWhetherTheDocumentCloses) {
    struct Case {
        bool modified;  // only a modified document asks
        std::vector<Answer> answers;
        bool saveWorks, closes;
        int saves;
    } cases[] = {
        {false, {}, true, true, 0},
        {true, {Answer::Yes}, true, true, 1},    // save, then close
        {true, {Answer::Yes}, false, false, 1},  // save failed or cancelled: stays open
        {true, {Answer::No}, true, true, 0},     // discard
        {true, {Answer::Cancel}, true, false, 0},
    };
    for (const Case& c : cases) {
        FakeDoc d("SYNTH.d", c.modified);
        d.saveWorks = c.saveWorks;
        RecordingPrompter p;
        p.answers = c.answers;
        EXPECT_EQ(std::pair(mayClose(d, p), d.saves), std::pair(c.closes, c.saves));
        ASSERT_EQ(p.messages.size(), c.modified ? 1u : 0u);
        for (const auto& m : p.messages)
            EXPECT_EQ(m.text, "SYNTH.d\nDo you want to save this document before closing?");
    }
}

TEST(CloseQuestion, ExitStopsAtTheFirstCancelAndAsksOnlyModifiedDocuments) {
    FakeDoc a("A.d", true), b("B.d", true), c("C.d", true), clean;
    RecordingPrompter p;
    p.answers = {Answer::No, Answer::Cancel, Answer::Yes};
    std::vector<ClosableDocument*> docs = {&a, &clean, &b, &c};
    EXPECT_FALSE(mayCloseAll(docs, p));
    ASSERT_EQ(p.messages.size(), 2u);  // C was never asked
    EXPECT_EQ(p.messages[1].text.substr(0, 4), "B.d\n");
    EXPECT_EQ(c.saves, 0);

    RecordingPrompter yes;  // answers Yes: every modified document saved
    EXPECT_TRUE(mayCloseAll(docs, yes));
    EXPECT_EQ(a.saves + b.saves + c.saves, 3);
}

TEST(OtherQuestions, RevertAndReplaceAskOnlyWhenSomethingIsLost) {
    testsupport::TempDir t;
    const fs::path own = t.touch("own.d"), other = t.touch("other.d");
    RecordingPrompter p;
    EXPECT_TRUE(confirmRevert(false, p));  // not modified
    EXPECT_TRUE(mayReplaceFile(t.path() / "new.d", own, p));
    EXPECT_TRUE(mayReplaceFile(t.path() / "." / "own.d", own, p));
    EXPECT_TRUE(p.messages.empty());
    p.answers = {Answer::No, Answer::Yes, Answer::No, Answer::Yes};
    EXPECT_FALSE(confirmRevert(true, p));
    EXPECT_TRUE(confirmRevert(true, p));
    EXPECT_FALSE(mayReplaceFile(other, own, p));
    EXPECT_TRUE(mayReplaceFile(other, {}, p));  // a document never saved asks too
    ASSERT_EQ(p.messages.size(), 4u);
    EXPECT_EQ(p.messages[0].text, kRevertQuestion);
    EXPECT_EQ(p.messages[2].text, "other.d already exists. Do you want to replace it?");
}

TEST(DocumentNames, TitleDefaultExtensionAndTheSameFileUnderAnotherSpelling) {
    EXPECT_EQ(documentTitle("SYNTH.d", false), "SYNTH.d");
    EXPECT_EQ(documentTitle("SYNTH.d", true), "SYNTH.d *");
    EXPECT_EQ(untitledName(2), "Untitled2");
    const std::pair<const char*, const char*> ext[] = {{"/w/synth", "/w/synth.d"},
                                                       {"/w/synth.d", "/w/synth.d"},
                                                       {"/w/synth.bak", "/w/synth.bak"},
                                                       {"/w/my.synth", "/w/my.synth"},
                                                       {"/w/dir.x/synth", "/w/dir.x/synth.d"}};
    for (auto [typed, want] : ext)
        EXPECT_EQ(withDefaultExtension(typed, "d"), fs::path(want)) << typed;
    EXPECT_EQ(withDefaultExtension("/w/synth", ""), fs::path("/w/synth"));

    testsupport::TempDir t;
    fs::path f = t.touch("work/SYNTH.d");
    fs::create_directory_symlink(t.path() / "work", t.path() / "link");
    std::vector<fs::path> open = {t.path() / "other.d", f};
    EXPECT_EQ(findOpenFile(open, t.path() / "work" / "." / "SYNTH.d"), 1);
    EXPECT_EQ(findOpenFile(open, t.path() / "link" / "SYNTH.d"), 1);
    EXPECT_EQ(findOpenFile(open, t.path() / "work" / "x" / ".." / "SYNTH.d"), 1);
    EXPECT_EQ(findOpenFile(open, t.path() / "work" / "synth.d"), -1);  // case matters here
    EXPECT_EQ(findOpenFile(open, t.path() / "missing.d"), -1);
    EXPECT_TRUE(sameFile(t.path() / "new" / "a.d", t.path() / "new" / ".." / "new" / "a.d"));
}

}  // namespace
