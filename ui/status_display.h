#pragma once
// The status bar: "就緒 . . ." while nothing plays; while a stream plays, the spectrum with the
// elapsed time and the song title over it. The display timer feeds it; it paints on request.
// A notice (how a search ended) takes the text's place for a while.

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <chrono>

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
    // What the bar shows: the notice while it lasts, else the ready text or the playing text.
    QString Text() const;

    // A one-line notice in place of the text; an empty one removes it. While nothing plays it
    // stays until it is replaced, so a user who looked away still sees why the list is empty;
    // while a stream plays the song title comes back after the hold (six seconds unless set),
    // counted from when the notice was shown. A warning is drawn in a warm colour, so a failure
    // stands out.
    void ShowNotice(const QString& text, bool warning);
    void SetNoticeHold(std::chrono::milliseconds hold) { noticeHold_ = hold; }
    // The drawing height the bars use (the inner height).
    int InnerHeight() const { return contentsRect().height(); }

Q_SIGNALS:
    void Pressed(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    // Drops a notice whose time is up while a stream plays.
    void ExpireNotice();

    SpectrumBars bars_;
    bool playing_ = false;
    QString text_;
    QString notice_;
    bool noticeWarning_ = false;
    QElapsedTimer noticeAge_;
    std::chrono::milliseconds noticeHold_{6000};
};

}  // namespace wavelot
