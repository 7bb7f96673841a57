#pragma once
// The job scheduler: starts and stops the stations of the job list at their seconds of the day,
// through the same player operations the user's commands use.
//
// For one second, in list order, each enabled job that applies today first stops playback when
// its stop text equals the clock text, then, when its start text does, plays its station and,
// for a record job, has the recorder record 3 s later. Every second is treated so, but only
// the seconds at which some job starts or stops are looked at: the scheduler sleeps on the wall
// clock until the next such second (a minute at most, to be safe), so a program idling in the
// tray is not woken every second. Whoever changes the job list calls JobsChanged, and a setting
// of the wall clock re-plans by itself. A second the clock skips (set forward, a sleeping
// machine, a wake-up that came late) is lost, and the second of the wake-up is evaluated; a
// second the clock repeats (set back) is evaluated again.
//
// A scan is a small state machine: its waits (a turn of the event loop before each start, the
// 3 s before recording) are timers, and the player's connect and fades dispatch events, so the
// next due second may be evaluated before a scan has ended, and the user (or an import) may change the
// job list meanwhile. A scan therefore reads the list count afresh for every job and works on a
// copy of the job it is at. Scans form a stack: one that begins while another is under way runs
// to its end before the earlier one goes on, so their play, stop and record steps never
// interleave; a stop or restart of the scheduler ends them all.

#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

#include "core/settings.h"
#include "core/song_array.h"
#include "scheduler/wall_timer.h"

namespace wavelot {

class BackgroundRecordings;
class Player;
class Recorder;

class JobScheduler : public QObject {
    Q_OBJECT

public:
    // Local wall-clock time. Tests hand in a clock they set; it must run at real speed, since
    // the scheduler sleeps real milliseconds until its next second.
    using Clock = std::function<QDateTime()>;

    // The wait between a record job's play and its recording.
    static constexpr int kRecordDelayMs = 3000;
    // The longest sleep, after which the plan is made again even when nothing is due.
    static constexpr int kLongestSleepMs = 60000;

    // jobs, player and recorder must outlive the scheduler, or at least its Stop(). settingFile
    // holds the catch-up option (read when it matters, never cached). An empty clock is the
    // system's.
    JobScheduler(clsSongArray& jobs, Player& player, Recorder& recorder, QString settingFile,
                 Clock clock = {}, QObject* parent = nullptr);
    ~JobScheduler() override;

    // Evaluates the current second from the event loop, then each due second. With the
    // catch-up option on, the first evaluation also starts every job whose span is running, and
    // a late wake-up the jobs whose start it overslept.
    void Start();
    // Where record-only jobs record, beside what plays; without it they are skipped. Must outlive
    // the scheduler or be unset first.
    void SetBackgroundRecordings(BackgroundRecordings* background) { background_ = background; }
    // Where the catch-up option is read when a scan needs it (the session's options for this
    // run); without it, the settings file.
    void SetCatchUpOption(std::function<bool()> catchUp) { catchUp_ = std::move(catchUp); }
    // No further second is evaluated, and a scan under way (inside a connect or fade, or waiting
    // for its next step) ends without touching the player or the recorder again.
    void Stop();
    bool IsRunning() const { return running_; }

    // The job list changed: plans again from now (and evaluates the current second when it
    // has not been).
    void JobsChanged();
    // The wall clock was set: the same. The wall timer reports this by itself; a clock that
    // a test sets has to be reported here.
    void ClockChanged() { JobsChanged(); }

    // Some scan has steps left (it waits for its next step or is inside the player).
    bool Scanning() const { return !scans_.empty(); }
    // Wake-ups so far (for tests and benchmarks).
    quint64 Wakeups() const { return wakeups_; }

private:
    // What a scan does next.
    enum class Step {
        Next,    // look at the next job: its stop first
        Start,   // the job's start
        Play,    // play the job's station (after a turn of the event loop)
        Played,  // the connect and its fade are over
        Record,  // record it (after the record delay)
    };
    struct Scan {
        quint64 id = 0;
        QString clock;                // the clock text of the second evaluated
        QDate today;                  // its day
        QDateTime now;                // the time the scan began
        bool catchUp = false;         // the catch-up pass comes first
        std::optional<qint64> since;  // catch up starts from this second on; none: since ever
        int index = 0;                // the next job to look at
        StationRow job;               // a copy of the job being worked on
        Step step = Step::Next;
        bool waiting = false;           // a timer or the player holds the next step
        bool waitingForPlayer = false;  // the player's connect or fade
        bool inStep = false;            // inside a step (a player call may begin a scan on top)
    };

    void OnWake();
    void Plan(const QDateTime& now);
    // Runs the scan on top of the stack until it waits or ends, then the one below, and so on.
    void Drive();
    // One step of the scan; false when the scheduler was destroyed meanwhile.
    bool Advance(quint64 id);
    // A step that picks the next job: false when there is none left.
    bool PickNext(Scan& scan);
    void WaitThen(Scan& scan, Step step, int ms);
    // The scan's next step waits until the player has no connect or fade under way.
    void WaitForPlayer(Scan& scan);
    void PlayerSettled();
    Scan* Find(quint64 id);

    clsSongArray& jobs_;
    Player& player_;
    Recorder& recorder_;
    BackgroundRecordings* background_ = nullptr;
    const Settings settings_;
    std::function<bool()> catchUp_;
    Clock clock_;
    WallTimer timer_;
    bool running_ = false;
    std::optional<qint64> lastSecond_;     // the second evaluated last, in seconds since the epoch
    std::optional<qint64> plannedSecond_;  // the due second the timer sleeps until
    quint64 wakeups_ = 0;
    std::deque<Scan> scans_;  // the scans under way, the latest last
    quint64 lastScanId_ = 0;
};

}  // namespace wavelot
