#pragma once
// Records the longest time the thread's event loop went without running a 1 ms timer, between
// Start and StopMs: how long the main thread was kept from dispatching events.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace wavelot::bench {

class GapProbe {
public:
    GapProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void Start() {
        longest_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    // The longest gap in milliseconds, counting the stretch up to this call.
    double StopMs() {
        timer_.stop();
        longest_ = std::max(longest_, clock_.nsecsElapsed() - last_);
        return double(longest_) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

}  // namespace wavelot::bench
