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

CommandButton::CommandButton(int index, std::function<QString()> caption, QWidget* parent)
    : QWidget(parent), index_(index), caption_(std::move(caption)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(UiFont(14));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void CommandButton::ResetLook() {
    SetState(ButtonState::Normal);
}

void CommandButton::SetState(ButtonState s) {
    if (state_ == s)
        return;
    state_ = s;
    update();
}

void CommandButton::paintEvent(QPaintEvent*) {
    const ButtonLook look = LookFor(state_);
    QPainter p(this);
    p.fillRect(rect(), look.fill);
    p.setPen(look.border);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(look.text);
    p.setFont(font());
    DrawTextBand(p, Caption(), 2, 0, width() - 4, height(), Qt::AlignHCenter);
}

void CommandButton::enterEvent(QEnterEvent*) {
    if (state_ != ButtonState::Pressed)
        SetState(ButtonState::Hover);
    else
        update();  // a caption may have changed
}

void CommandButton::leaveEvent(QEvent*) {
    if (state_ != ButtonState::Pressed)
        SetState(ButtonState::Normal);
}

void CommandButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        SetState(ButtonState::Pressed);
}

void CommandButton::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || state_ != ButtonState::Pressed)
        return;
    SetState(ButtonState::Normal);
    if (rect().contains(e->position().toPoint()))
        Q_EMIT Clicked(index_);
    update();
}

}  // namespace wavelot
