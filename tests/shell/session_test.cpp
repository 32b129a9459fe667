#include "editor/session.h"

#include <gtest/gtest.h>

#include "editor/windowplacement.h"
#include "support/temp_dir.h"

using namespace sf;
namespace fs = std::filesystem;

namespace {

TEST(HandOver, CommandLineFilesAndTheirWireForm) {
    using V = std::vector<std::string>;
    EXPECT_EQ(commandLineFiles(V{}, "/w"), V{});
    EXPECT_EQ(commandLineFiles(V{"NR"}, "/w"), V{});
    EXPECT_EQ(commandLineFiles(V{"nr"}, "/w"), V{});
    EXPECT_EQ(commandLineFiles(V{"NR", "a.d"}, "/w"), (V{"/w/NR", "/w/a.d"}));
    EXPECT_EQ(commandLineFiles(V{"../x/a.d", "/abs/b.d", "-style", ""}, "/w/sub"),
              (V{"/w/x/a.d", "/abs/b.d"}));

    for (const V& files : {V{}, V{"/a/b.d"}, V{"/a/with space.d", "/b/\xc3\xa9t\xc3\xa9.d"}}) {
        std::vector<std::uint8_t> bytes = encodeHandOver(files);
        bool complete = false;
        auto back = decodeHandOver(bytes, &complete);
        ASSERT_TRUE(back);
        EXPECT_TRUE(complete);
        EXPECT_EQ(*back, files);
        // Every shorter prefix is incomplete, never a wrong list.
        for (std::size_t n = 0; n < bytes.size(); ++n)
            EXPECT_FALSE(decodeHandOver(std::span(bytes).first(n))) << n;
    }
    std::vector<std::uint8_t> bad = encodeHandOver(V{"/a"});
    bad[0] = 'X';
    EXPECT_FALSE(decodeHandOver(bad));
    // An announced length beyond the limit is refused at once.
    std::vector<std::uint8_t> huge = {'S', 'F', 'H', 'O', 0x7F, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(decodeHandOver(huge));
}

TEST(WindowCommands, EnablingFollowsTheWindows) {
    struct Case {
        std::vector<ChildWindowState> windows;
        bool closeAll, minimizeAll, restoreAll;
    } cases[] = {
        {{}, false, false, false},
        {{{false, true}}, true, true, false},
        {{{true, true}, {true, true}}, true, false, true},  // all minimised
        {{{true, true}, {false, true}}, true, true, true},
        {{{false, false}}, true, false, false},  // no minimise box
    };
    for (const Case& c : cases) {
        WindowCommandState s = windowCommandState(c.windows);
        EXPECT_EQ(std::tuple(s.closeAll, s.minimizeAll, s.restoreAll),
                  std::tuple(c.closeAll, c.minimizeAll, c.restoreAll));
    }
}

TEST(WindowLayout, KeepsGeometriesByFileMostRecentFirstAndSurvivesDamage) {
    testsupport::TempDir t;
    WindowLayout l;
    l.mainGeometry = {1, 2, 3, 0xFF};
    l.mainMaximized = true;
    l.mainBars = {0, 0, 0xAB};
    l.setDocumentGeometry(t.path() / "a.d", {10, 11});
    l.setDocumentGeometry(t.path() / "b.d", {20});
    l.setDocumentGeometry(t.path() / "x" / ".." / "a.d", {12});  // same file: replaced
    ASSERT_TRUE(l.save(t / "layout.dat"));

    WindowLayout back;
    back.load(t / "layout.dat");
    EXPECT_EQ(std::tuple(back.mainGeometry, back.mainMaximized, back.mainBars),
              std::tuple(l.mainGeometry, true, l.mainBars));
    EXPECT_EQ(back.documentCount(), 2u);
    ASSERT_TRUE(back.documentGeometry(t.path() / "a.d"));
    EXPECT_EQ(*back.documentGeometry(t.path() / "a.d"), std::vector<std::uint8_t>{12});
    EXPECT_EQ(back.documentGeometry(t.path() / "c.d"), nullptr);

    for (int i = 0; i < 150; ++i)
        back.setDocumentGeometry(t.path() / (std::to_string(i) + ".d"), {1});
    EXPECT_EQ(back.documentCount(), WindowLayout::kMaxDocuments);
    EXPECT_TRUE(back.documentGeometry(t.path() / "149.d"));
    EXPECT_FALSE(back.documentGeometry(t.path() / "0.d"));

    // A damaged or missing file gives an empty layout.
    l = WindowLayout();
    l.load(t / "missing.dat");
    EXPECT_TRUE(l.mainGeometry.empty());
    t.touch("bad.dat",
            "Layout\n{\nMainWindow\n{\nGeometry=ZZ1\n}\nDocuments\n{\nFile1=\nGeometry1=0A\nFile2=/"
            "x.d\n}\n}\n");
    l.load(t / "bad.dat");
    EXPECT_EQ(l.documentCount(), 0u);  // an entry without a file or geometry is skipped
}

bool inside(const PlaceRect& r, PlaceSize area) {
    return r.x >= 0 && r.y >= 0 && r.x + r.width <= area.width && r.y + r.height <= area.height;
}

TEST(FrameTitle, NamesTheDocumentWithItsModifiedMark) {
    EXPECT_EQ(frameTitle(""), "Sysforge");
    EXPECT_EQ(frameTitle("synth.d"), "synth.d[*] - Sysforge");
    // A literal placeholder in a file name must not turn into the mark.
    EXPECT_EQ(frameTitle("a[*].d"), "a[*][*].d[*] - Sysforge");
}

TEST(CascadePlace, NewWindowsCascadeFromTheCornerAndStayInside) {
    const PlaceSize area{1200, 800};
    for (int n = 0; n < 40; ++n) EXPECT_TRUE(inside(cascadePlace(area, n, 26), area)) << n;
    EXPECT_EQ(cascadePlace(area, 0, 26).x, 0);
    EXPECT_EQ(cascadePlace(area, 2, 26).y, 52);
    // Past the last place that fits, back to the corner.
    int wrapped = -1;
    for (int n = 1; n < 40 && wrapped < 0; ++n)
        if (cascadePlace(area, n, 26).x == 0) wrapped = n;
    EXPECT_GT(wrapped, 1);
    // A client smaller than the smallest window: the window fills it.
    const PlaceSize tiny{200, 100};
    EXPECT_EQ(cascadePlace(tiny, 3, 26), (PlaceRect{0, 0, 200, 100}));
}

TEST(UsableGeometry, KeptRectanglesAreBroughtInsideOrRefused) {
    const PlaceSize area{1000, 700};
    EXPECT_EQ(usableGeometry({10, 20, 400, 300}, area), (PlaceRect{10, 20, 400, 300}));
    // Left off-screen at the bottom right (a larger client before): moved in.
    EXPECT_EQ(usableGeometry({900, 650, 400, 300}, area), (PlaceRect{600, 400, 400, 300}));
    EXPECT_EQ(usableGeometry({-50, -40, 400, 300}, area), (PlaceRect{0, 0, 400, 300}));
    // Larger than the client: shrunk to it.
    EXPECT_EQ(usableGeometry({0, 0, 3000, 2000}, area), (PlaceRect{0, 0, 1000, 700}));
    // Nothing usable stored (a window that was only ever maximised).
    EXPECT_FALSE(usableGeometry({0, 0, 0, 0}, area));
    EXPECT_FALSE(usableGeometry({0, 0, 40, 30}, area));
    EXPECT_FALSE(usableGeometry({0, 0, 50000, 300}, area));
}

TEST(FitTreeColumns, ContentFirstThenCommentTakesTheRest) {
    const struct {
        int parameter, value, available;
        TreeColumnWidths want;  // comment 0: any strip
    } cases[] = {
        {300, 200, 1200, {300, 200, 700}},
        {400, 400, 600, {370, 80, 150}},     // a tiled window: Value gives way first
        {400, 400, 200, {120, 80, 0}},       // below the floors: they hold, the tree scrolls
        {300, 5000, 1200, {300, 600, 300}},  // a value longer than half the width is cut
        {50, 30, 300, {50, 30, 220}},        // short content is never widened
    };
    for (const auto& c : cases) {
        const TreeColumnWidths w = fitTreeColumns(c.parameter, c.value, c.available);
        EXPECT_GT(w.comment, 0);
        EXPECT_EQ(std::tuple(w.parameter, w.value, c.want.comment ? w.comment : 0),
                  std::tuple(c.want.parameter, c.want.value, c.want.comment))
            << c.parameter << " " << c.value << " " << c.available;
    }
}

}  // namespace
