#include "core/pump_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace wavelot {

namespace {

constexpr qint64 kTickMask = (qint64(1) << 30) - 1;
constexpr int kStepMs = 100;

// Milliseconds on the monotonic clock, like the system tick count.
qint64 MonotonicMs() {
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference();
}

// One step: dispatch events until a one-shot timer of ms fires, then once more.
void WaitStep(int ms) {
    ms = std::max(ms, 0);
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec(QEventLoop::AllEvents);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

qint64 TickCount30() {
    return MonotonicMs() & kTickMask;
}

qint64 ElapsedTicks30(qint64 start, qint64 now) {
    start &= kTickMask;
    now &= kTickMask;
    return now < start ? now - start + kTickMask + 1 : now - start;
}

void PumpWait(int ms, qint64 startTick) {
    if (ms <= kStepMs && startTick != -1) {
        WaitStep(ms);
        return;
    }
    const qint64 start = startTick == -1 ? TickCount30() : (startTick & kTickMask);
    WaitStep(kStepMs);
    for (;;) {
        const qint64 remaining = ms - ElapsedTicks30(start, TickCount30());
        if (remaining <= 0)
            return;
        WaitStep(static_cast<int>(std::min<qint64>(remaining, kStepMs)));
    }
}

}  // namespace wavelot
