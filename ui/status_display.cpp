#include "ui/status_display.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/key_codes.h"
#include "ui/mod_theme.h"

namespace wavelot {

namespace {
const QColor kBack(0x33, 0x33, 0x33);
const QColor kText(0xEE, 0xEE, 0xEE);
}  // namespace

StatusDisplay::StatusDisplay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(UiFont(14));
}

void StatusDisplay::ShowIdle()
{
    const bool changed = playing_;
    playing_ = false;
    text_.clear();
    if (changed)
        update();
}

void StatusDisplay::ShowPlaying(const QString& text)
{
    playing_ = true;
    text_ = text;
    update();
}

void StatusDisplay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect inner = contentsRect();
    p.fillRect(rect(), kBack);
    p.translate(inner.topLeft());
    if (playing_)
        bars_.Paint(p, inner.height());
    p.setPen(kText);
    p.setFont(font());
    DrawTextBand(p, Text(), 5, 0, inner.width() - 5, inner.height(), DT_LEFT);
}

void StatusDisplay::mousePressEvent(QMouseEvent* e)
{
    Q_EMIT Pressed(ButtonCode(e->button()));
}

}  // namespace wavelot
