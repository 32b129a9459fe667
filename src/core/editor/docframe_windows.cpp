#include <algorithm>

#include "editor/windowplacement.h"

namespace sf {

namespace {
constexpr int kMinWidth = 80;
constexpr int kMinHeight = 60;
constexpr int kMaxExtent = 20000;
constexpr int kCommentMin = 160;
constexpr int kParameterFloor = 120;
constexpr int kValueFloor = 80;
}  // namespace

std::string frameTitle(std::string_view documentName) {
    if (documentName.empty()) return "Sysforge";
    std::string out;
    for (std::size_t i = 0; i < documentName.size(); ++i) {
        if (documentName.substr(i, 3) == "[*]") {
            out += "[*][*]";
            i += 2;
        } else {
            out += documentName[i];
        }
    }
    return out + "[*] - Sysforge";
}

PlaceSize defaultWindowSize(PlaceSize area) {
    const int w = std::clamp(area.width * 4 / 5, std::min(320, area.width), 1000);
    const int h = std::clamp(area.height * 4 / 5, std::min(240, area.height), 720);
    return {std::max(1, w), std::max(1, h)};
}

PlaceRect cascadePlace(PlaceSize area, int existing, int step) {
    const PlaceSize size = defaultWindowSize(area);
    step = std::max(1, step);
    const int roomX = std::max(0, area.width - size.width);
    const int roomY = std::max(0, area.height - size.height);
    const int places = std::min(roomX / step, roomY / step) + 1;
    const int k = std::max(0, existing) % places;
    return {k * step, k * step, size.width, size.height};
}

std::optional<PlaceRect> usableGeometry(PlaceRect kept, PlaceSize area) {
    if (kept.width < kMinWidth || kept.height < kMinHeight || kept.width > kMaxExtent ||
        kept.height > kMaxExtent)
        return std::nullopt;
    PlaceRect r = kept;
    r.width = std::min(r.width, std::max(kMinWidth, area.width));
    r.height = std::min(r.height, std::max(kMinHeight, area.height));
    r.x = std::clamp(r.x, 0, std::max(0, area.width - r.width));
    r.y = std::clamp(r.y, 0, std::max(0, area.height - r.height));
    return r;
}

TreeColumnWidths fitTreeColumns(int parameterContent, int valueContent, int available) {
    // A value longer than half the width (the character table, a long
    // message) is cut with an ellipsis rather than push Comment away.
    int p = std::max(0, parameterContent);
    int v = std::min(std::max(0, valueContent), std::max(kValueFloor, available / 2));
    const int commentMin = std::min(kCommentMin, std::max(0, available) / 4);
    const int room = available - commentMin;
    // Too narrow: Value gives way first (its texts end in an ellipsis and
    // show whole in a tooltip), then Parameter, each down to its floor.
    if (p + v > room) v = std::max(std::min(v, kValueFloor), room - p);
    if (p + v > room) p = std::max(std::min(p, kParameterFloor), room - v);
    return {p, v, std::max(commentMin, available - p - v)};
}

}  // namespace sf
