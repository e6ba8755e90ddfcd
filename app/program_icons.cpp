// Program icons drawn at run time: a rounded tile in the program's colour with
// its letter and a small magnifying glass, so each program is told apart at a glance.
#include "app/program_icons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace talvo::app {

namespace {

struct Look {
    const char* letters;
    QColor tile;
};

const std::array<Look, 7> kLooks = {{
    {"", Qt::transparent},
    {"C", QColor(0x1f, 0x6f, 0xc5)},  // blue
    {"D", QColor(0x2e, 0x8b, 0x3e)},  // green
    {"Iz", QColor(0xc2, 0x5b, 0x12)}, // orange
    {"J", QColor(0xb0, 0x1e, 0x3c)},  // crimson
    {"W", QColor(0x6a, 0x3d, 0xa8)},  // violet
    {"Y", QColor(0x00, 0x80, 0x80)},  // teal
}};

QPixmap draw(const Look& look, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, look.tile.lighter(135));
    fill.setColorAt(1, look.tile.darker(115));
    p.setPen(QPen(look.tile.darker(160), s / 32));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(s * 0.03, s * 0.03, s * 0.94, s * 0.94), s * 0.2, s * 0.2);

    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(
        static_cast<int>(s * (std::char_traits<char>::length(look.letters) > 1 ? 0.42 : 0.56)));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, s * 0.78, s * 0.8), Qt::AlignCenter, QString::fromLatin1(look.letters));

    // Magnifying glass in the lower right corner.
    p.setPen(QPen(QColor(255, 255, 255, 230), s / 14, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF lens(s * 0.56, s * 0.56, s * 0.24, s * 0.24);
    p.drawEllipse(lens);
    p.drawLine(QPointF(s * 0.77, s * 0.77), QPointF(s * 0.9, s * 0.9));
    return pixmap;
}

} // namespace

QIcon programIcon(int number) {
    if (number < 1 || number > 6)
        return {};
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(draw(kLooks[static_cast<std::size_t>(number)], size));
    return icon;
}

} // namespace talvo::app
