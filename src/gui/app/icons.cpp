#include "app/icons.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

#include "ui/icontheme.h"

namespace sf::gui {

namespace {
// Our names and the freedesktop names that fit them.
const QHash<QString, QString>& themeNames() {
    static const QHash<QString, QString> names = {
        {"new", "document-new"},
        {"open", "document-open"},
        {"save", "document-save"},
        {"run", "media-playback-start"},
        {"undo", "edit-undo"},
        {"redo", "edit-redo"},
        {"help", "help-contents"},
        {"cascade", "window-duplicate"},
        {"tile-vertical", ""},
        {"tile-horizontal", ""},
        {"minimize-all", "window-minimize"},
        {"back", "go-previous"},
        {"forward", "go-next"},
        {"contents", "go-home"},
    };
    return names;
}

// Fallbacks drawn here for the icons that have no bundled picture.
QIcon drawnIcon(const QString& name) {
    const bool back = name == QLatin1String("back");
    if (!back && name != QLatin1String("forward") && name != QLatin1String("contents")) return {};
    QPixmap pm(22, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 80, 150), 1.2));
    p.setBrush(QColor(70, 120, 200));
    if (name == QLatin1String("contents")) {
        // A closed book.
        p.drawRoundedRect(QRectF(5.5, 3.5, 12, 15), 1.5, 1.5);
        p.setPen(QPen(Qt::white, 1.5));
        p.drawLine(QPointF(8.5, 7.5), QPointF(14.5, 7.5));
        p.drawLine(QPointF(8.5, 10.5), QPointF(14.5, 10.5));
    } else {
        // An arrow to the left or to the right.
        QPolygonF arrow({QPointF(3, 11), QPointF(11, 3.5), QPointF(11, 8), QPointF(19, 8),
                         QPointF(19, 14), QPointF(11, 14), QPointF(11, 18.5)});
        if (!back)
            for (QPointF& pt : arrow) pt.setX(22 - pt.x());
        p.drawPolygon(arrow);
    }
    return QIcon(pm);
}
}  // namespace

QIcon themedIcon(const QString& name) {
    const QString bundled = QStringLiteral(":/icons/%1.png").arg(name);
    QIcon fallback = bundledIcon(bundled);
    if (fallback.isNull()) fallback = drawnIcon(name);
    const QString theme = themeNames().value(name, name);
    if (theme.isEmpty()) return fallback;
    return desktopIcon(theme, fallback);
}

QIcon appIcon() {
    // Ours alone: the copy installed in the icon theme is this same picture.
    return bundledIcon(QStringLiteral(":/icons/sysforge.png"));
}

}  // namespace sf::gui
