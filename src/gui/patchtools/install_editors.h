// Connects the value editors (message editor, ROM patch names, converter,
// macros) to their rows of the settings tree. Called once at start-up.
#pragma once

namespace sf::gui {
void installValueEditors();
}
