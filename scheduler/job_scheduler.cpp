#include "scheduler/job_scheduler.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

#include "engine/background_recording.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "engine/time_text.h"
#include "scheduler/job_time.h"

namespace wavelot {

namespace {
// The wake-up lands this far into its second, so that it never reads the second before.
constexpr int kLandingMs = 2;

qint64 EpochSecond(const QDateTime& t) {
    return t.toSecsSinceEpoch();
}

// A record-only job's recording, from its start to its stop.
QString BackgroundKey(const StationRow& job) {
    return job.file + u'\n' + job.title;
}
}  // namespace

JobScheduler::JobScheduler(clsSongArray& jobs, Player& player, Recorder& recorder, QString settingFile,
                           Clock clock, QObject* parent)
    : QObject(parent),
      jobs_(jobs),
      player_(player),
      recorder_(recorder),
      settings_(std::move(settingFile)),
      clock_(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })) {
    connect(&timer_, &WallTimer::timeout, this, &JobScheduler::OnWake);
    connect(&timer_, &WallTimer::clockSet, this, &JobScheduler::ClockChanged);
    connect(&player_, &Player::connectFinished, this, &JobScheduler::PlayerSettled);
    connect(&player_, &Player::stopFinished, this, &JobScheduler::PlayerSettled);
}

JobScheduler::~JobScheduler() = default;

void JobScheduler::Start() {
    running_ = true;
    scans_.clear();
    lastSecond_.reset();
    plannedSecond_.reset();
    timer_.Start(0);
}

void JobScheduler::Stop() {
    running_ = false;
    scans_.clear();
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
    Plan(now);  // before the scan, so that due seconds go on being evaluated during its steps
    if (lastSecond_ == second)
        return;  // a re-plan, or a wake-up before the boundary: this second has been evaluated
    Scan scan{.id = ++lastScanId_, .clock = ClockText(now.time()), .today = now.date(), .now = now};
    if (!lastSecond_)
        scan.catchUp = true;  // the first second: everything before it was missed
    else if (planned && *planned < second)
        scan.catchUp = true, scan.since = planned;  // woke late: from the due second on
    lastSecond_ = second;
    scan.catchUp = scan.catchUp && jobs_.ListCount() > 0 && (catchUp_ ? catchUp_() : settings_.CatchUpJobs());
    scans_.push_back(std::move(scan));
    Drive();
}

JobScheduler::Scan* JobScheduler::Find(quint64 id) {
    const auto it = std::ranges::find(scans_, id, &Scan::id);
    return it == scans_.end() ? nullptr : &*it;
}

void JobScheduler::Drive() {
    while (!scans_.empty() && !scans_.back().waiting && !scans_.back().inStep) {
        const quint64 id = scans_.back().id;
        scans_.back().inStep = true;
        if (!Advance(id))
            return;  // destroyed
        if (Scan* scan = Find(id))
            scan->inStep = false;
    }
}

void JobScheduler::WaitThen(Scan& scan, Step step, int ms) {
    scan.step = step;
    scan.waiting = true;
    // Precise: a coarse timer of seconds may fire 5 % early, and the record delay is a least.
    QTimer::singleShot(ms, Qt::PreciseTimer, this, [this, id = scan.id] {
        if (Scan* scan = Find(id)) {
            scan->waiting = false;
            Drive();
        }
    });
}

void JobScheduler::WaitForPlayer(Scan& scan) {
    scan.waitingForPlayer = scan.waiting = player_.Busy();
}

void JobScheduler::PlayerSettled() {
    if (player_.Busy())
        return;
    bool resumed = false;
    for (Scan& scan : scans_) {
        if (scan.waitingForPlayer) {
            scan.waitingForPlayer = scan.waiting = false;
            resumed = true;
        }
    }
    if (resumed)
        Drive();
}

// The next job the scan acts on, from scan.index on. The catch-up pass takes the starts the
// scheduler did not see (before it started, or in the seconds it overslept): only starts inside
// the missed time count, so a job the user stopped by hand stays stopped. The second's own pass
// takes every enabled job that applies today.
bool JobScheduler::PickNext(Scan& scan) {
    while (scan.catchUp) {
        if (scan.index >= jobs_.ListCount()) {
            scan.catchUp = false;
            scan.index = 0;
            break;
        }
        const StationRow job = jobs_.Row(scan.index++);
        if (job.runJob != kJobEnabled)
            continue;
        const std::optional<QDateTime> begin = RunningSpanStart(job, scan.now);
        if (begin && (!scan.since || EpochSecond(*begin) >= *scan.since)) {
            scan.job = job;
            WaitThen(scan, Step::Play, 0);
            return true;
        }
    }
    while (scan.index < jobs_.ListCount()) {
        const StationRow job = jobs_.Row(scan.index++);
        if (job.runJob != kJobEnabled || !JobAppliesOn(job, scan.today))
            continue;
        scan.job = job;
        scan.step = Step::Start;
        return true;
    }
    return false;
}

bool JobScheduler::Advance(quint64 id) {
    QPointer<JobScheduler> self(this);
    Scan& scan = *Find(id);
    switch (scan.step) {
    case Step::Next:
        if (!PickNext(scan)) {
            scans_.erase(std::ranges::find(scans_, id, &Scan::id));
            return true;
        }
        if (scan.step == Step::Start && JobTimeText(scan.job.jobStop) == scan.clock &&
            scan.job.jobMode == kJobModeRecordOnly) {
            if (background_)
                background_->Stop(BackgroundKey(scan.job));
        } else if (scan.step == Step::Start && JobTimeText(scan.job.jobStop) == scan.clock) {
            // The recording ends with the sound heard at the stop second.
            recorder_.EndFileAtHeard();
            player_.StopRadio();
            WaitForPlayer(scan);  // the stop's fade ends before the job's start is looked at
        }
        return bool(self);
    case Step::Start:
        if (JobTimeText(scan.job.jobStart) == scan.clock)
            WaitThen(scan, Step::Play, 0);
        else
            scan.step = Step::Next;
        return true;
    case Step::Play: {
        if (scan.job.jobMode == kJobModeRecordOnly) {
            scan.step = Step::Next;
            if (background_)
                background_->Start(BackgroundKey(scan.job), scan.job.file, scan.job.title, scan.job.code);
            return true;
        }
        scan.step = Step::Played;
        player_.PlayRadio(scan.job.file, scan.job.title, scan.job.code);
        WaitForPlayer(scan);
        return bool(self);
    }
    case Step::Played:
        if (scan.job.jobMode == kJobModeRecord)
            WaitThen(scan, Step::Record, kRecordDelayMs);
        else
            scan.step = Step::Next;
        return true;
    case Step::Record:
        scan.step = Step::Next;
        // Starts, never toggles: a job that started meanwhile may have started a recording.
        recorder_.StartRecording();
        return bool(self);
    }
    return true;
}

}  // namespace wavelot
