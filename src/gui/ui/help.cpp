#include "ui/help.h"

#include <utility>

namespace sf::gui {

namespace {
std::function<void(int)>& handler() {
    static std::function<void(int)> h;
    return h;
}
}  // namespace

void showHelp(int context) {
    if (handler()) handler()(context);
}

std::function<void(int)> setHelpHandler(std::function<void(int)> h) {
    return std::exchange(handler(), std::move(h));
}

}  // namespace sf::gui
