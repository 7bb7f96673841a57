#include "ui/volume_slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "core/rounding.h"
#include "ui/mod_theme.h"

namespace wavelot {

namespace volume_slider {
double KnobLeft(int width, int volume) {
    return (width - 230) * static_cast<double>(volume) / 100.0;
}

int VolumeAt(int x, int width) {
    if (width - 225 <= 0)
        return 0;
    x = std::min(std::max(x, 70), width - 160);
    return RoundHalfEven((x - 70) * 100.0 / (width - 225));
}
}  // namespace volume_slider

using namespace volume_slider;

VolumeSlider::VolumeSlider(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
}

int VolumeSlider::KnobLeftPixels() const {
    return RoundHalfEven(knobLeftUnits_ / kUnitsPerPixel);
}

void VolumeSlider::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    knobLeftUnits_ = KnobLeft(width() * kUnitsPerPixel, volume_);
    update();
}

void VolumeSlider::DragTo(int xPixels) {
    const int w = width() * kUnitsPerPixel;
    const int x = std::min(std::max(xPixels * kUnitsPerPixel, 70), w - 160);
    knobLeftUnits_ = x - 70;
    volume_ = VolumeAt(xPixels * kUnitsPerPixel, w);
    update();
    Q_EMIT VolumeDragged(volume_);
}

void VolumeSlider::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        DragTo(e->position().toPoint().x());
}

void VolumeSlider::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton)
        DragTo(e->position().toPoint().x());
}

void VolumeSlider::resizeEvent(QResizeEvent*) {
    knobLeftUnits_ = KnobLeft(width() * kUnitsPerPixel, volume_);
}

void VolumeSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int mid = height() / 2;
    // Track: a sunken groove across the whole width.
    p.fillRect(QRect(0, mid - 2, width(), 4), QColor(0xD5, 0xB7, 0x5C));
    p.setPen(QColor(0x99, 0x80, 0x40));
    p.drawRect(QRect(0, mid - 2, width() - 1, 3));
    // Knob: 15 pixels (225 units) wide, the height of the slider.
    const int left = KnobLeftPixels();
    const QRect knob(left, 2, 15, height() - 4);
    p.fillRect(knob, QColor(0xBE, 0xD5, 0xEF));
    p.setPen(QColor(0x00, 0x65, 0xCE));
    p.drawRect(knob.adjusted(0, 0, -1, -1));
}

}  // namespace wavelot
