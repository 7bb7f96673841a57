#pragma once
// The job scheduler: starts and stops the stations of the job list at their seconds of the day,
// through the same player operations the user's commands use.
//
// For one second, in list order, each enabled job that applies today first stops playback when
// its stop text equals the clock text, then, when its start text does, plays its station and,
// for a record job, issues the record command 3 s later. Every second is treated so, but only
// the seconds at which some job starts or stops are looked at: the scheduler sleeps on the wall
// clock until the next such second (a minute at most, to be safe), so a program idling in the
// tray is not woken every second. Whoever changes the job list calls JobsChanged, and a setting
// of the wall clock re-plans by itself. A second the clock skips (set forward, a sleeping
// machine, a wake-up that came late) is lost, and the second of the wake-up is evaluated; a
// second the clock repeats (set back) is evaluated again.
//
// Re-entrancy: the player's connects and fades and the 3 s wait dispatch events, so the next
// due second is evaluated inside them, and the user (or an import) may change the job list
// meanwhile. A scan therefore reads the list count afresh for every job, works on a copy of the
// job it is at, and after every wait gives up when the scheduler was stopped or destroyed.

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

#include "core/settings.h"
#include "scheduler/wall_timer.h"

namespace wavelot {

class Player;
class clsSongArray;
struct StationRow;

class JobScheduler : public QObject {
    Q_OBJECT

public:
    // Local wall-clock time. Tests hand in a clock they set; it must run at real speed, since
    // the scheduler sleeps real milliseconds until its next second.
    using Clock = std::function<QDateTime()>;

    // The wait between a record job's play and its record command.
    static constexpr int kRecordDelayMs = 3000;
    // The longest sleep, after which the plan is made again even when nothing is due.
    static constexpr int kLongestSleepMs = 60000;

    // jobs and player must outlive the scheduler, or at least its Stop(). settingFile holds the
    // catch-up option (read when it matters, never cached). An empty clock is the system's.
    JobScheduler(clsSongArray& jobs, Player& player, QString settingFile, Clock clock = {},
                 QObject* parent = nullptr);
    ~JobScheduler() override;

    // Evaluates the current second from the event loop, then each due second. With the
    // catch-up option on, the first evaluation also starts every job whose span is running, and
    // a late wake-up the jobs whose start it overslept.
    void Start();
    // No further second is evaluated, and a scan waiting inside a connect, fade or the record
    // delay ends there without touching the player again.
    void Stop();
    bool IsRunning() const { return running_; }

    // The job list changed: plans again from now (and evaluates the current second when it
    // has not been).
    void JobsChanged();
    // The wall clock was set: the same. The wall timer reports this by itself; a clock that
    // a test sets has to be reported here.
    void ClockChanged() { JobsChanged(); }

    // Wake-ups so far (for tests and benchmarks).
    quint64 Wakeups() const { return wakeups_; }

private:
    struct Missed {
        bool any = false;             // some starts may have been missed
        std::optional<qint64> since;  // from this second on; none: since ever
    };

    void OnWake();
    void Plan(const QDateTime& now);
    // False when the scan must end (stopped, restarted or destroyed during a wait).
    bool Evaluate(const QDateTime& now, Missed missed);
    bool CatchUp(const QDateTime& now, std::optional<qint64> since);
    bool StartJob(const StationRow& job);

    clsSongArray& jobs_;
    Player& player_;
    const Settings settings_;
    Clock clock_;
    WallTimer timer_;
    bool running_ = false;
    quint64 generation_ = 0;               // bumped by Start and Stop; a scan holds its own
    std::optional<qint64> lastSecond_;     // the second evaluated last, in seconds since the epoch
    std::optional<qint64> plannedSecond_;  // the due second the timer sleeps until
    quint64 wakeups_ = 0;
};

}  // namespace wavelot
