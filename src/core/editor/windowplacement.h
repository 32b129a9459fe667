// Where document windows go, how wide the settings tree's columns are, and
// what the main window's title says: decisions of the main window that do
// not depend on a toolkit. All sizes are in pixels of the window's client.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sf {

struct PlaceRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PlaceRect&) const = default;
};

struct PlaceSize {
    int width = 0, height = 0;
};

// The main window's title: "Sysforge" without a document, else the active
// document's name followed by the modified placeholder "[*]" and
// " - Sysforge". A "[*]" inside the name is doubled so that it shows as typed.
std::string frameTitle(std::string_view documentName);

// The size of a new document window in a client area of `area`.
PlaceSize defaultWindowSize(PlaceSize area);

// The place of a new document window when `existing` windows are open: the
// windows cascade from the top left by `step`, wrapping back to the corner
// before one would leave the area; the window always lies wholly inside.
PlaceRect cascadePlace(PlaceSize area, int existing, int step);

// A remembered window rectangle made fit for the area: moved (and shrunk)
// so that it lies wholly inside. Nothing when it is unusable (too small,
// absurdly large, empty), the caller then uses the default place.
std::optional<PlaceRect> usableGeometry(PlaceRect kept, PlaceSize area);

// Widths of the columns "Parameter", "Value" and "Comment" of the settings
// tree: the first two as wide as their content (Value at most half the
// width), Comment the rest up to the right edge. When the window is too
// narrow for that, Value gives way first, then Parameter, each down to a
// floor, so that Comment keeps a useful strip; below the floors the widths
// add up to more than `available` and the tree scrolls.
struct TreeColumnWidths {
    int parameter = 0, value = 0, comment = 0;
};
TreeColumnWidths fitTreeColumns(int parameterContent, int valueContent, int available);

}  // namespace sf
