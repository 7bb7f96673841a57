#include "ui/command_button.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/mod_theme.h"

namespace wavelot {

ButtonLook LookFor(ButtonState state) {
    switch (state) {
    case ButtonState::Hover:
        return {QColor(0x00, 0x30, 0x9C), QColor(0xBE, 0xD5, 0xEF), QColor(0x58, 0x95, 0xD5)};
    case ButtonState::Pressed:
        return {QColor(0x44, 0x44, 0x44), QColor(0x9B, 0xC3, 0xEC), QColor(0x00, 0x65, 0xCE)};
    case ButtonState::Normal: break;
    }
    return {QColor(0x22, 0x22, 0x22), QColor(0xF0, 0xE4, 0xBE), QColor(0xD5, 0xB7, 0x5C)};
}

CommandButton::CommandButton(std::function<QString()> caption, QWidget* parent)
    : QAbstractButton(parent), caption_(std::move(caption)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(UiFont(14));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

ButtonState CommandButton::State() const {
    return isDown() ? ButtonState::Pressed : hovered_ ? ButtonState::Hover : ButtonState::Normal;
}

void CommandButton::paintEvent(QPaintEvent*) {
    const ButtonLook look = LookFor(State());
    QPainter p(this);
    p.fillRect(rect(), look.fill);
    p.setPen(look.border);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(look.text);
    p.setFont(font());
    DrawTextBand(p, Caption(), 2, 0, width() - 4, height(), Qt::AlignHCenter);
}

void CommandButton::enterEvent(QEnterEvent*) {
    hovered_ = true;
    update();
}

void CommandButton::leaveEvent(QEvent*) {
    hovered_ = false;
    update();
}

void CommandButton::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        hovered_ = false;
    QAbstractButton::mouseReleaseEvent(e);
}

}  // namespace wavelot
