// Icons from the desktop's icon theme, with drawings of our own where the
// theme has none (and on platforms without a theme).
#pragma once

#include <QIcon>

namespace sf::gui {

// `name`: one of our names ("new", "open", "save", "run", "undo", "redo",
// "cascade", "tile-vertical", "tile-horizontal", "minimize-all", "help") or
// a freedesktop icon name.
QIcon themedIcon(const QString& name);
// The program's own icon.
QIcon appIcon();

}  // namespace sf::gui
