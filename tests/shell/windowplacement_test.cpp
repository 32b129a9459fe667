#include "editor/windowplacement.h"

#include <gtest/gtest.h>

#include <tuple>

namespace sf {
namespace {

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
}  // namespace sf
