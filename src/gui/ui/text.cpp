#include "ui/text.h"

#include "framework/cp1252.h"

namespace sf::gui {

QString fromDriverText(std::string_view cp1252) { return fromUtf8(cp1252ToUtf8(cp1252)); }

std::string toDriverText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return utf8ToCp1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace sf::gui
