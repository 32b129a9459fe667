#include "app/icons.h"

#include <QFile>
#include <QHash>

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
    };
    return names;
}
}  // namespace

QIcon themedIcon(const QString& name) {
    const QString bundled = QStringLiteral(":/icons/%1.png").arg(name);
    QIcon fallback = QFile::exists(bundled) ? QIcon(bundled) : QIcon();
    const QString theme = themeNames().value(name, name);
    if (theme.isEmpty()) return fallback;
    return QIcon::fromTheme(theme, fallback);
}

QIcon appIcon() {
    QIcon icon(QStringLiteral(":/icons/sysforge.png"));
    return QIcon::fromTheme(QStringLiteral("io.sysforge.Sysforge"), icon);
}

}  // namespace sf::gui
