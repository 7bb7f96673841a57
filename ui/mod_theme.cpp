#include "ui/mod_theme.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QWidget>
#include <cmath>

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

std::optional<QImage> CreateMemoryDC(int width, int height) {
    if (width <= 0 || height <= 0)
        return std::nullopt;
    QImage img(width, height, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return std::nullopt;
    img.fill(Qt::transparent);
    return img;
}

QFont SelectFontFace(QPainter& dc, const QString& face, int height) {
    QFont f = UiFont(height);
    if (face.compare(QString::fromUtf16(kUiFontFace), Qt::CaseInsensitive) != 0 &&
        QFontDatabase::families().contains(face))
        f.setFamily(face);
    dc.setFont(f);
    return f;
}

void SetControlFont(QWidget* window, const QString& face, int height) {
    if (window == nullptr)
        return;
    QFont f = UiFont(height);
    if (face.compare(QString::fromUtf16(kUiFontFace), Qt::CaseInsensitive) != 0 &&
        QFontDatabase::families().contains(face))
        f.setFamily(face);
    window->setFont(f);
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

QColor BlendColor(const QColor& a, const QColor& b, int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    auto mix = [alpha](int ca, int cb) { return RoundHalfEven((alpha * ca + (255 - alpha) * cb) / 255.0); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

void FillFramedRect(QPainter& dc, int left, int top, int width, int height, const QColor& color, int alpha) {
    if (width <= 0 || height <= 0)
        return;
    dc.save();
    dc.fillRect(QRect(left, top, width, height), BlendColor(color, Qt::white, alpha));
    dc.setPen(QPen(color, 1));
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(QRect(left, top, width - 1, height - 1));
    dc.restore();
}

void DrawDottedLine(QPainter& dc, int x1, int y1, int x2, int y2, const QColor& color, int width) {
    dc.save();
    QPen pen(color, std::max(1, width), Qt::DotLine);
    dc.setPen(pen);
    dc.drawLine(x1, y1, x2, y2);
    dc.restore();
}

}  // namespace wavelot
