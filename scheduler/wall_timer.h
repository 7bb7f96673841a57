#pragma once
// A single-shot timer on the wall clock (a Linux timerfd on CLOCK_REALTIME, armed for an
// absolute time). A QTimer counts the time the machine is awake, so one armed before a suspend
// fires late by the whole sleep; this one fires on waking when its time has passed. It also
// reports every setting of the wall clock (by hand, or stepped by time synchronisation), after
// which a plan made by the wall clock has to be made again.

#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace wavelot {

class WallTimer : public QObject {
    Q_OBJECT
public:
    explicit WallTimer(QObject* parent = nullptr);
    ~WallTimer() override;

    // Fires once, ms milliseconds of wall-clock time from now; 0 or less fires from the event
    // loop at once. Restarts a timer that is running.
    void Start(qint64 ms);
    void Stop();

Q_SIGNALS:
    void timeout();
    // The wall clock was set while the timer ran; the timer has stopped.
    void clockSet();

private:
    void OnReadable();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    // Only without a timerfd (it cannot be created): a plain timer, which neither sees clock
    // settings nor counts a sleep.
    QTimer fallback_;
};

}  // namespace wavelot
