#include "shell/widgets/tabicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tf {
namespace {

constexpr int kSize = 64;
const QColor kInk(0x2b, 0x3a, 0x55);
const QColor kAccent(0xd9, 0x7b, 0x29);

QPixmap canvas() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QIcon titlesTabIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 3));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(12, 6, 40, 52), 4, 4);
    p.setPen(QPen(kAccent, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 17), QPointF(45, 17));
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    for (int y = 27; y <= 47; y += 10)
        p.drawLine(QPointF(19, y), QPointF(y == 47 ? 35 : 45, y));
    return QIcon(pixmap);
}

QIcon audioTabIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 3));
    p.setBrush(QColor(0xe8, 0xec, 0xf2));
    p.drawEllipse(QRectF(6, 6, 52, 52));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(26, 26, 12, 12));
    QPainterPath play;
    play.moveTo(40, 36);
    play.lineTo(58, 47);
    play.lineTo(40, 58);
    play.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawPath(play);
    return QIcon(pixmap);
}

} // namespace tf
