// The small icons of the settings tree: from the desktop icon theme where one
// fits, otherwise drawn here so that the tree looks the same everywhere.
#pragma once

#include <QIcon>

namespace sf::gui::icons {

const QIcon& choice();        // a value chosen from a menu
const QIcon& message();       // a SysEx message
const QIcon& number();        // a typed number
const QIcon& yesNo(bool on);  // a yes/no switch or a flag: ticked box, empty box
const QIcon& dialog();        // a value edited in a dialog
const QIcon& help();          // the row has a help topic
const QIcon& copyable();      // the row can be dragged onto another

}  // namespace sf::gui::icons
