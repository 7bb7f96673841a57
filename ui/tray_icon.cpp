#include "ui/tray_icon.h"

#include <QPainter>
#include <QPixmap>

namespace wavelot {

QString TrayTipText(const QString& tip) {
    return tip.left(kTrayTipLimit);
}

QImage ProgramIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 32.0;
    // A radio: a rounded body with a speaker grille and an antenna.
    p.setPen(QPen(QColor(0x00, 0x65, 0xCE), 2 * s));
    p.drawLine(QPointF(9 * s, 11 * s), QPointF(23 * s, 3 * s));
    p.setPen(QPen(QColor(0x80, 0x60, 0x10), 1.5 * s));
    p.setBrush(QColor(0xF0, 0xE4, 0xBE));
    p.drawRoundedRect(QRectF(3 * s, 11 * s, 26 * s, 17 * s), 3 * s, 3 * s);
    p.setBrush(QColor(0x33, 0x33, 0x33));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(6 * s, 14 * s, 11 * s, 11 * s));
    p.setBrush(QColor(0, 204, 0));
    p.drawRect(QRectF(20 * s, 15 * s, 6 * s, 3 * s));
    p.setBrush(QColor(225, 168, 34));
    p.drawRect(QRectF(20 * s, 20 * s, 6 * s, 3 * s));
    p.end();
    return image;
}

QIcon ProgramIcon() {
    static const QIcon icon = [] {
        QIcon result;
        for (int size : {16, 22, 24, 32, 48, 64})
            result.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
        return result;
    }();
    return icon;
}

}  // namespace wavelot
