#include "scheduler/wall_timer.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>

namespace wavelot {

WallTimer::WallTimer(QObject* parent) : QObject(parent) {
    fallback_.setSingleShot(true);
    fallback_.setTimerType(Qt::PreciseTimer);
    connect(&fallback_, &QTimer::timeout, this, &WallTimer::timeout);
    fd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ < 0)
        return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &WallTimer::OnReadable);
}

WallTimer::~WallTimer() {
    if (fd_ >= 0) {
        delete notifier_;
        ::close(fd_);
    }
}

void WallTimer::Start(qint64 ms) {
    if (fd_ < 0) {
        fallback_.start(static_cast<int>(std::clamp<qint64>(ms, 0, INT32_MAX)));
        return;
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // An absolute time that has passed (or now) fires at once; an all-zero one would disarm.
    const qint64 ns = now.tv_nsec + qMax<qint64>(ms, 0) * 1000000;
    itimerspec when{};
    when.it_value.tv_sec = now.tv_sec + static_cast<time_t>(ns / 1000000000);
    when.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when, nullptr);
}

void WallTimer::Stop() {
    fallback_.stop();
    if (fd_ >= 0) {
        const itimerspec off{};
        ::timerfd_settime(fd_, 0, &off, nullptr);
    }
}

void WallTimer::OnReadable() {
    std::uint64_t expirations = 0;
    const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
    if (n == static_cast<ssize_t>(sizeof expirations))
        Q_EMIT timeout();
    else if (n < 0 && errno == ECANCELED)
        Q_EMIT clockSet();
}

}  // namespace wavelot
