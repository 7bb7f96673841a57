#include "ui/status_display.h"

#include <QMouseEvent>
#include <QPainter>

#include "core/rounding.h"
#include "ui/mod_theme.h"

namespace wavelot {

namespace {
const QColor kBack(0x33, 0x33, 0x33);
const QColor kText(0xEE, 0xEE, 0xEE);
const QColor kWarningText(0xFF, 0xC8, 0x5A);

QColor Gradient(double position) {
    const SpectrumColour c = SpectrumBars::GradientColour(1, position);
    return QColor(c.red, c.green, c.blue);
}

// Bars as every other line of the gradient from the bottom up to the bar top, and each peak
// mark in the colour of its height, for a box of that height.
void PaintBars(QPainter& p, const SpectrumBars& bars, int height) {
    if (height <= 0)
        return;
    const double H = height;
    for (int i = 0; i <= bars.HighestBar(); ++i) {
        const int left = 16 * i + 2;
        const int right = 16 * i + 17;
        const int last = RoundHalfEven(H - bars.BarTop(i) - 1);
        for (int j = 1; j <= last; j += 2) {
            p.setPen(Gradient(j / H));
            p.drawLine(left, height - j, right, height - j);
        }
        const double mark = bars.MarkY(i);
        p.setPen(Gradient(1 - (mark + 1) / H));
        p.drawLine(left, RoundHalfEven(mark), right, RoundHalfEven(mark));
    }
}
}  // namespace

StatusDisplay::StatusDisplay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(UiFont(14));
}

QString StatusDisplay::Text() const {
    if (!notice_.isEmpty())
        return notice_;
    return playing_ ? text_ : QString::fromUtf16(kReadyText);
}

void StatusDisplay::ShowIdle() {
    const bool changed = playing_;
    playing_ = false;
    text_.clear();
    if (changed)
        update();
}

void StatusDisplay::ShowPlaying(const QString& text) {
    playing_ = true;
    text_ = text;
    ExpireNotice();
    update();
}

void StatusDisplay::ShowNotice(const QString& text, bool warning) {
    notice_ = text;
    noticeWarning_ = warning;
    noticeAge_.start();
    update();
}

void StatusDisplay::ExpireNotice() {
    if (!notice_.isEmpty() && std::chrono::milliseconds(noticeAge_.elapsed()) >= noticeHold_)
        notice_.clear();
}

void StatusDisplay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect inner = contentsRect();
    p.fillRect(rect(), kBack);
    p.translate(inner.topLeft());
    if (playing_)
        PaintBars(p, bars_, inner.height());
    p.setPen(!notice_.isEmpty() && noticeWarning_ ? kWarningText : kText);
    p.setFont(font());
    DrawTextBand(p, Text(), 5, 0, inner.width() - 5, inner.height(), Qt::AlignLeft);
}

void StatusDisplay::mousePressEvent(QMouseEvent* e) {
    Q_EMIT Pressed(e->button());
}

}  // namespace wavelot
