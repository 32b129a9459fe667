#include "ui/icontheme.h"

#include <QImageReader>
#include <QPixmap>

namespace sf::gui {

QIcon desktopIcon(const QString& name, const QIcon& fallback) {
    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == QLatin1String("hicolor")) return fallback;
    return QIcon::fromTheme(name, fallback);
}

QIcon bundledIcon(const QString& resourcePath) {
    QImageReader reader(resourcePath, "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

}  // namespace sf::gui
