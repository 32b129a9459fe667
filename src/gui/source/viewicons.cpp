#include "source/viewicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include "ui/icontheme.h"

namespace sf::gui::icons {

namespace {

constexpr int kSize = 16;

QIcon drawn(const std::function<void(QPainter&)>& draw) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return QIcon(pm);
}

QIcon themed(const char* name, const std::function<void(QPainter&)>& draw) {
    return desktopIcon(QString::fromLatin1(name), drawn(draw));
}

void badge(QPainter& p, const QColor& fill, const QString& text) {
    p.setPen(fill.darker(150));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
    QFont f = p.font();
    f.setPixelSize(8);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(1, 2, 14, 12), Qt::AlignCenter, text);
}

}  // namespace

const QIcon& choice() {
    static const QIcon icon = drawn([](QPainter& p) {
        p.setPen(QColor(40, 90, 160));
        p.setBrush(QColor(70, 130, 210));
        QPainterPath tri;
        tri.moveTo(3, 6);
        tri.lineTo(13, 6);
        tri.lineTo(8, 12);
        tri.closeSubpath();
        p.drawPath(tri);
    });
    return icon;
}

const QIcon& message() {
    static const QIcon icon =
        drawn([](QPainter& p) { badge(p, QColor(150, 90, 170), QStringLiteral("F0")); });
    return icon;
}

const QIcon& number() {
    static const QIcon icon =
        drawn([](QPainter& p) { badge(p, QColor(60, 140, 100), QStringLiteral("12")); });
    return icon;
}

const QIcon& yesNo(bool on) {
    auto box = [](QPainter& p) {
        p.setPen(QColor(90, 90, 90));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
    };
    static const QIcon off = drawn(box);
    static const QIcon ticked = drawn([box](QPainter& p) {
        box(p);
        p.setPen(QPen(QColor(30, 120, 40), 2));
        p.drawPolyline(QPolygonF({QPointF(4.5, 8), QPointF(7, 11), QPointF(12, 4.5)}));
    });
    return on ? ticked : off;
}

const QIcon& dialog() {
    static const QIcon icon = themed("document-properties", [](QPainter& p) {
        p.setPen(QColor(90, 90, 90));
        p.setBrush(QColor(235, 235, 235));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.fillRect(QRectF(2, 3, 12, 3), QColor(70, 110, 190));
        p.setBrush(QColor(90, 90, 90));
        for (int x : {4, 7, 10}) p.drawEllipse(QPointF(x + 0.5, 10), 1, 1);
    });
    return icon;
}

const QIcon& help() {
    static const QIcon icon = themed("help-contents", [](QPainter& p) {
        p.setPen(QColor(30, 80, 160));
        p.setBrush(QColor(60, 120, 210));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
    });
    return icon;
}

const QIcon& copyable() {
    static const QIcon icon = drawn([](QPainter& p) {
        p.setPen(QColor(200, 120, 20));
        p.setBrush(QColor(255, 230, 180));
        p.drawRect(QRectF(1.5, 1.5, 8, 8));
        p.drawRect(QRectF(6.5, 6.5, 8, 8));
    });
    return icon;
}

}  // namespace sf::gui::icons
