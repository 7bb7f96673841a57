#include "ui/mod_theme.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <cmath>

#include "core/rounding.h"

namespace wavelot {

QString UiFontFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        const QString wanted = QString::fromUtf16(kUiFontFace);
        if (families.contains(wanted, Qt::CaseInsensitive))
            return wanted;
        // Faces known to hold Traditional Chinese, best first.
        for (const char16_t* f : {u"WenQuanYi Micro Hei", u"Noto Sans CJK TC", u"Noto Sans TC",
                                  u"AR PL UMing TW", u"Droid Sans Fallback"}) {
            const QString name = QString::fromUtf16(f);
            if (families.contains(name, Qt::CaseInsensitive))
                return name;
        }
        for (const QString& f : QFontDatabase::families(QFontDatabase::TraditionalChinese))
            if (!QFontDatabase::isFixedPitch(f))
                return f;
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return family;
}

QFont UiFont(int cellHeight, int weight) {
    QFont f(UiFontFamily());
    f.setPixelSize(std::max(1, RoundHalfEven(cellHeight * 6.0 / 7.0)));
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

int DrawTextBand(QPainter& dc, const QString& text, int x, int y, int width, int height,
                 Qt::Alignment horizontal) {
    if (width <= 0 || height <= 0)
        return 0;
    const QFontMetrics fm(dc.font());
    const QString shown = fm.elidedText(text, Qt::ElideRight, width);
    const Qt::Alignment align = (horizontal & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
    dc.drawText(QRect(x, y, width, height), static_cast<int>(align) | Qt::TextSingleLine, shown);
    return fm.height();
}

void DrawDottedLine(QPainter& dc, int x1, int y1, int x2, int y2, const QColor& color, int width) {
    dc.save();
    QPen pen(color, std::max(1, width), Qt::DotLine);
    dc.setPen(pen);
    dc.drawLine(x1, y1, x2, y2);
    dc.restore();
}

}  // namespace wavelot
