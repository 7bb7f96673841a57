#pragma once
// The main window's owner-drawn command buttons: a framed panel with a centred caption in one
// of three looks (normal, hover, pressed). A click is Qt's: a left-button release on the button.

#include <QAbstractButton>
#include <QColor>
#include <functional>

namespace wavelot {

struct ButtonLook {
    QColor text;
    QColor fill;
    QColor border;
};

enum class ButtonState { Normal, Hover, Pressed };
ButtonLook LookFor(ButtonState state);

class CommandButton : public QAbstractButton {
    Q_OBJECT
public:
    // caption is asked at every paint, so state-dependent captions follow the state.
    explicit CommandButton(std::function<QString()> caption, QWidget* parent = nullptr);

    ButtonState State() const;
    QString Caption() const { return caption_(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    // A release shows the normal look until the pointer enters again.
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    std::function<QString()> caption_;
    bool hovered_ = false;
};

}  // namespace wavelot
