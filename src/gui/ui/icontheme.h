// Icons from the desktop's icon theme, with our own pictures beside them.
#pragma once

#include <QIcon>
#include <QString>

namespace sf::gui {

// The icon `name` of the desktop's icon theme, `fallback` where the theme
// has none. Without a desktop theme (Qt's own default "hicolor" holds
// program icons only) the theme is not searched: the first search reads the
// theme's whole index, milliseconds at start-up for nothing.
QIcon desktopIcon(const QString& name, const QIcon& fallback);

// A picture bundled with the program (a PNG in the resources), read as a PNG
// straight away: left to guess, the image reader would first load every
// image format plugin installed to ask each whether it reads PNGs.
QIcon bundledIcon(const QString& resourcePath);

}  // namespace sf::gui
