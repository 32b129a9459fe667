// Text at the edge between driver data (Windows-1252) and Qt (UTF-16).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace sf::gui {

// Driver bytes (Windows-1252) to a QString.
QString fromDriverText(std::string_view cp1252);
// A QString to driver bytes; characters Windows-1252 cannot hold become '?'.
std::string toDriverText(const QString& text);
// UTF-8 (core messages, paths) to a QString.
inline QString fromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace sf::gui
