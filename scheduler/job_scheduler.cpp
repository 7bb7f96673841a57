#include "scheduler/job_scheduler.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

#include "core/pump_wait.h"
#include "core/song_array.h"
#include "engine/player.h"
#include "engine/time_text.h"
#include "scheduler/job_time.h"

namespace wavelot {

namespace {
// The wake-up lands this far into its second, so that it never reads the second before.
constexpr int kLandingMs = 2;

qint64 EpochSecond(const QDateTime& t) {
    return t.toSecsSinceEpoch();
}
}  // namespace

JobScheduler::JobScheduler(clsSongArray& jobs, Player& player, QString settingFile, Clock clock,
                           QObject* parent)
    : QObject(parent),
      jobs_(jobs),
      player_(player),
      settings_(std::move(settingFile)),
      clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })) {
    connect(&timer_, &WallTimer::timeout, this, &JobScheduler::OnWake);
    connect(&timer_, &WallTimer::clockSet, this, &JobScheduler::ClockChanged);
}

JobScheduler::~JobScheduler() = default;

void JobScheduler::Start() {
    running_ = true;
    ++generation_;
    lastSecond_.reset();
    plannedSecond_.reset();
    timer_.Start(0);
}

void JobScheduler::Stop() {
    running_ = false;
    ++generation_;
    timer_.Stop();
}

void JobScheduler::JobsChanged() {
    if (running_)
        timer_.Start(0);
}

void JobScheduler::Plan(const QDateTime& now) {
    qint64 ms = kLongestSleepMs;
    const std::optional<QDateTime> next = NextDueSecond(jobs_, now);
    plannedSecond_.reset();
    if (next) {
        plannedSecond_ = EpochSecond(*next);
        ms = std::min(ms, now.msecsTo(*next) + kLandingMs);
    }
    timer_.Start(ms);
}

void JobScheduler::OnWake() {
    if (!running_)
        return;
    ++wakeups_;
    const QDateTime now = clock_();
    const qint64 second = EpochSecond(now);
    const std::optional<qint64> planned = plannedSecond_;
    Plan(now);  // before the scan, so that due seconds go on being evaluated inside its waits
    if (lastSecond_ == second)
        return;  // a re-plan, or a wake-up before the boundary: this second has been evaluated
    Missed missed;
    if (!lastSecond_)
        missed = {true, std::nullopt};  // the first second: everything before it was missed
    else if (planned && *planned < second)
        missed = {true, planned};  // woke late: from the due second on
    lastSecond_ = second;
    Evaluate(now, missed);
}

bool JobScheduler::Evaluate(const QDateTime& now, Missed missed) {
    if (jobs_.ListCount() == 0)
        return true;
    if (missed.any && settings_.CatchUpJobs() && !CatchUp(now, missed.since))
        return false;

    const QString clock = ClockText(now.time());
    const QDate today = now.date();
    const quint64 generation = generation_;
    QPointer<JobScheduler> self(this);
    for (int i = 0; i < jobs_.ListCount(); ++i) {
        const StationRow job = jobs_.Row(i);
        if (job.runJob != kJobEnabled || !JobAppliesOn(job, today))
            continue;
        if (JobTimeText(job.jobStop) == clock) {
            player_.StopRadio();
            if (!self || generation_ != generation)
                return false;
        }
        if (JobTimeText(job.jobStart) == clock && !StartJob(job))
            return false;
    }
    return true;
}

// The starts the scheduler did not see: before it started, or in the seconds it overslept.
// Only starts inside the missed time count, so a job the user stopped by hand stays stopped.
bool JobScheduler::CatchUp(const QDateTime& now, std::optional<qint64> since) {
    for (int i = 0; i < jobs_.ListCount(); ++i) {
        const StationRow job = jobs_.Row(i);
        if (job.runJob != kJobEnabled)
            continue;
        const std::optional<QDateTime> begin = RunningSpanStart(job, now);
        if (begin && (!since || EpochSecond(*begin) >= *since) && !StartJob(job))
            return false;
    }
    return true;
}

bool JobScheduler::StartJob(const StationRow& job) {
    const quint64 generation = generation_;
    QPointer<JobScheduler> self(this);
    auto alive = [&] { return self && generation_ == generation; };
    QCoreApplication::processEvents();
    if (!alive())
        return false;
    player_.PlayRadio(job.file, job.title, job.code);
    if (!alive())
        return false;
    if (job.jobMode != kJobModeRecord)
        return true;
    PumpWait(kRecordDelayMs);
    if (!alive())
        return false;
    // The record command toggles. Here it must start a recording: a job that started inside the
    // wait may have started one already, which a toggle would end.
    if (!player_.IsRecording())
        player_.ToggleRecording();
    return true;
}

}  // namespace wavelot
