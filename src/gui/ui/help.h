// Opening the bundled help at a topic. The main window installs the viewer;
// dialogs only call showHelp with their context number.
#pragma once

#include <functional>

namespace sf::gui {

// Shows help topic `context` (2001..2026; 0 for the contents page).
void showHelp(int context);
// Installs the function that shows a topic; answers the previous one.
std::function<void(int)> setHelpHandler(std::function<void(int)> handler);

}  // namespace sf::gui
