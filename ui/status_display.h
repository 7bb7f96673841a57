#pragma once
// The status bar: "就緒 . . ." while nothing plays; while a stream plays, the spectrum with the
// elapsed time and the song title over it. The display timer feeds it; it paints on request.

#include <QString>
#include <QWidget>

#include "engine/spectrum_bars.h"

namespace wavelot {

inline constexpr char16_t kReadyText[] = u"就緒 . . .";

class StatusDisplay : public QWidget {
    Q_OBJECT
public:
    explicit StatusDisplay(QWidget* parent = nullptr);

    SpectrumBars& Bars() { return bars_; }
    // Not playing: the ready text. Playing: bars from the last tick and this text.
    void ShowIdle();
    void ShowPlaying(const QString& text);
    bool Playing() const { return playing_; }
    QString Text() const { return playing_ ? text_ : QString::fromUtf16(kReadyText); }
    // The drawing height the bars use (the inner height).
    int InnerHeight() const { return contentsRect().height(); }

Q_SIGNALS:
    // 1 left, 2 right, 4 middle.
    void Pressed(int button);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    SpectrumBars bars_;
    bool playing_ = false;
    QString text_;
};

}  // namespace wavelot
