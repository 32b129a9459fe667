#include <gtest/gtest.h>

#include "driver/library.h"

using namespace sf;

namespace {
SettingRef ref(int id, int index1 = -1) {
    SettingRef r;
    r.id = id;
    r.index1 = index1;
    return r;
}
}  // namespace

// Lines added in one batch land exactly where one-by-one adds put them:
// sorted without regard to case, equal texts in their order of arrival.
TEST(DriverListBatch, SameOrderAsAddingOneByOne) {
    const std::vector<std::pair<std::filesystem::path, std::optional<SettingRef>>> first = {
        {"/b/Keys.d", ref(10)}, {"/a/keys.d", std::nullopt}, {"/c/ZED.d", ref(107, 1)}};
    const std::vector<std::pair<std::filesystem::path, std::optional<SettingRef>>> second = {
        {"/b/Keys.d", ref(107, 2)},
        {"/a/alpha.d", ref(10)},
        {"/a/keys.d", ref(9)},
        {"/z/Zed.d", std::nullopt},
        {"/b/Keys.d", ref(11)}};
    DriverList single, batch;
    for (const auto& [p, r] : first) single.add(p, r);
    for (const auto& [p, r] : second) single.add(p, r);
    batch.addAll(first);
    batch.addAll(second);
    ASSERT_EQ(batch.size(), single.size());
    for (std::size_t i = 0; i < single.size(); ++i) {
        EXPECT_EQ(batch.entries()[i].text, single.entries()[i].text) << i;
        EXPECT_EQ(batch.entries()[i].path, single.entries()[i].path) << i;
        EXPECT_EQ(batch.entries()[i].ref.has_value(), single.entries()[i].ref.has_value()) << i;
        if (batch.entries()[i].ref) {
            EXPECT_EQ(batch.entries()[i].ref->id, single.entries()[i].ref->id) << i;
        }
    }
    EXPECT_EQ(single.insertionIndex("keys.d (/a)"), 3u);  // after the equal lines
}
