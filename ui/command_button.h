#pragma once
// The main window's owner-drawn command buttons: a framed panel with a centred caption in one
// of three looks (normal, hover, pressed). A click is a left-button release on the button.

#include <QColor>
#include <QWidget>
#include <functional>

namespace wavelot {

struct ButtonLook {
    QColor text;
    QColor fill;
    QColor border;
};

enum class ButtonState { Normal, Hover, Pressed };
ButtonLook LookFor(ButtonState state);

class CommandButton : public QWidget {
    Q_OBJECT
public:
    // caption is asked at every paint, so state-dependent captions follow the state.
    CommandButton(int index, std::function<QString()> caption, QWidget* parent = nullptr);

    int Index() const { return index_; }
    ButtonState State() const { return state_; }
    QString Caption() const { return caption_ ? caption_() : QString(); }
    // The look after a release (also used when a command is run from elsewhere).
    void ResetLook();

Q_SIGNALS:
    void Clicked(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    void SetState(ButtonState s);
    int index_;
    std::function<QString()> caption_;
    ButtonState state_ = ButtonState::Normal;
};

}  // namespace wavelot
