// The scheduler with a clock the test sets, driving the real player and recorder on the fake
// stream engine. The play log's lines show what it did and in which order.
#include <QTimer>

#include "engine/background_recording.h"
#include "engine/record_options.h"
#include "engine/recorder.h"
#include "scheduler/job_scheduler.h"
#include "scheduler/job_time.h"
#include "tests/engine/player_fixture.h"
#include "tests/support/fake_stream_engine.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

const QDate kMonday(2024, 1, 8);
const QTime kSeven(7, 0, 0);  // the second the jobs here are due at
const QTime kJustBefore = kSeven.addMSecs(-300);
const QTime kAfter = kSeven.addMSecs(300);
const QString S = u"07:00:00"_s;

// A job in one line: an enabled daily play job unless the later arguments say otherwise.
StationRow J(const QString& name, const QString& start, const QString& stop = u"23:59:59"_s, int runJob = 1,
             int jobType = 0, int weekMark = 0, int jobMode = 0) {
    return {.title = name,
            .jobMode = jobMode,
            .jobType = jobType,
            .jobStart = start,
            .jobStop = stop,
            .runJob = runJob,
            .weekMark = weekMark};
}
StationRow RecordJob(const QString& name, const QString& start) {
    return J(name, start, u"23:59:59"_s, 1, 0, 0, kJobModeRecord);
}

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        player_ = std::make_unique<Player>(dir_.filePath(u"Setting.ini"_s), audio_, log_);
        player_->SetFadeTimes(0, 0);
        options_.folder = dir_.filePath(u"rec"_s);
        recorder_ = std::make_unique<Recorder>(*player_, audio_, options_, dir_.path(), dir_.path());
        scheduler_ = std::make_unique<JobScheduler>(jobs_, *player_, *recorder_, player_->SettingFile(),
                                                    [this] { return Now(); });
        // What the player did (no "hh:mm:ss: "), by the job's title, at the time of the test's clock.
        QObject::connect(player_.get(), &Player::logLineAdded, [this](const QString& line, bool) {
            if (line.mid(10).startsWith(u"連線至 "_s) || line.mid(10) == u"停止播放"_s)
                Note(line.mid(10));
        });
        QObject::connect(recorder_.get(), &Recorder::recordingChanged, [this](bool on) {
            if (on)
                Note(u"錄音"_s);
        });
    }

    QDateTime Now() const { return base_.addMSecs(since_.elapsed()); }
    void Note(const QString& what) {
        events_.append(what);
        times_.append(Now());
    }
    // Reported as the wall timer reports a setting of the system clock.
    void SetClock(const QTime& t) {
        base_ = QDateTime(kMonday, t);
        since_.start();
        scheduler_->ClockChanged();
    }
    void PumpUntil(const QTime& t) {
        WaitUntil([&] { return Now() >= QDateTime(kMonday, t); }, 60000);
    }
    QString Url() const { return u"http://fake/s"_s; }
    // Puts the jobs in the list, starts the scheduler at from and lets it run until the clock
    // shows until and its scans have ended, however long they took, and returns what it did.
    QStringList Run(const std::vector<StationRow>& jobs, const QTime& from, const QTime& until) {
        jobs_.Clear();
        for (StationRow row : jobs) {
            row.file = Url();
            jobs_.AddItem(row);
        }
        SetClock(from);
        scheduler_->Start();
        PumpUntil(until);
        WaitUntil([&] { return !scheduler_ || !scheduler_->Scanning(); }, 60000);
        return events_;
    }
    QString Playing() const { return player_->IsPlaying() ? player_->StationName() : QString(); }

    // Gone in reverse order: the scheduler before the player before the engine.
    QTemporaryDir dir_;
    FakeStreamEngine audio_;
    clsSongArray log_, jobs_;
    FixedRecordOptions options_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<JobScheduler> scheduler_;
    QDateTime base_;
    QElapsedTimer since_;
    QStringList events_;
    QList<QDateTime> times_;
};

// Each case starts with a station the user plays, so a stop that should not happen shows.
TEST_F(SchedulerTest, OneSecondInListOrder) {
    const QString never = u"12:00:00"_s;
    const int tuesday = WeekDayBit(3);
    struct Case {
        const char* what;
        std::vector<StationRow> jobs;
        QStringList events;
        QString playing;
        QTime until = kAfter;
    };
    const Case cases[] = {
        {"empty list", {}, {}, u"Manual"_s},
        {"disabled, not today, no day; the next still starts",
         {J(u"X"_s, S, S, 0), J(u"Y"_s, S, S, 1, 1, tuesday), J(u"W"_s, S, S, 1, 1, 0), J(u"Z"_s, S)},
         {u"連線至 Z"_s},
         u"Z"_s},
        {"stop equal to start", {J(u"A"_s, S, S)}, {u"停止播放"_s, u"連線至 A"_s}, u"A"_s},
        {"two starts", {J(u"A"_s, S), J(u"B"_s, S)}, {u"連線至 A"_s, u"連線至 B"_s}, u"B"_s},
        {"two starts, other order", {J(u"B"_s, S), J(u"A"_s, S)}, {u"連線至 B"_s, u"連線至 A"_s}, u"A"_s},
        {"A stops, then B", {J(u"A"_s, never, S), J(u"B"_s, S)}, {u"停止播放"_s, u"連線至 B"_s}, u"B"_s},
        {"B, then A stops", {J(u"B"_s, S), J(u"A"_s, never, S)}, {u"連線至 B"_s, u"停止播放"_s}, QString()},
        {"7:00:00, and a stop with a date part",
         {J(u"J"_s, u"7:00:00"_s, u"2001/02/03 07:00:03"_s)},
         {u"連線至 J"_s, u"停止播放"_s},
         QString(),
         kSeven.addMSecs(3300)},
    };
    for (const Case& c : cases) {
        PlayAndWait(*player_, Url(), u"Manual"_s, 0);
        events_.clear();
        times_.clear();
        EXPECT_EQ(Run(c.jobs, kJustBefore, c.until), c.events) << c.what;
        EXPECT_EQ(Playing(), c.playing) << c.what;
        EXPECT_TRUE(times_.isEmpty() || times_[0].time().second() == 0)
            << c.what << ": not in its own second";
    }
}

// The second job starts inside the first one's connect and records 3 s later; the first job's
// own record command, coming after, must not end that recording. Ten jobs due at other times
// wake nothing: the scheduler wakes at its start and at the two due seconds only.
TEST_F(SchedulerTest, RecordJobsRecordThreeSecondsAfterTheirStartAndNothingElseWakes) {
    std::vector<StationRow> jobs{RecordJob(u"R1"_s, S), RecordJob(u"R2"_s, u"07:00:01"_s)};
    for (int i = 0; i < 10; ++i)
        jobs.push_back(J(u"N%1"_s.arg(i), u"10:%1:00"_s.arg(i, 2, 10, QChar(u'0'))));
    EXPECT_EQ(Run(jobs, kJustBefore, kAfter), (QStringList{u"連線至 R1"_s, u"連線至 R2"_s, u"錄音"_s}));
    ASSERT_EQ(times_.size(), 3);
    EXPECT_GE(times_[1].msecsTo(times_[2]), JobScheduler::kRecordDelayMs);
    // The connect lies between its log line and the wait; on a busy machine it takes seconds.
    EXPECT_LT(times_[1].msecsTo(times_[2]), JobScheduler::kRecordDelayMs + 4000);
    EXPECT_EQ(Playing(), u"R2"_s);
    EXPECT_TRUE(recorder_->IsRecording());
    EXPECT_EQ(scheduler_->Wakeups(), 3u);
}

// Started a second after the start, then the clock skips over the start, then it goes back
// before it: the first two are missed starts, the last a repeated second.
TEST_F(SchedulerTest, MissedStartsAreLostUnlessCaughtUpAndRepeatedSecondsRunAgain) {
    for (const bool option : {false, true}) {
        Settings(player_->SettingFile()).WriteCatchUpJobs(option);
        events_.clear();
        Run({J(u"J"_s, S, u"08:00:00"_s)}, kSeven.addMSecs(1200), kSeven.addMSecs(1500));
        SetClock(kSeven.addMSecs(-1400));
        PumpWait(200);
        SetClock(kSeven.addMSecs(1300));
        PumpUntil(kSeven.addMSecs(1600));
        SetClock(kJustBefore);
        PumpUntil(kAfter);
        const QStringList j{u"連線至 J"_s};
        EXPECT_EQ(events_, option ? j + j + j : j) << "catch-up " << option;
    }
}

TEST_F(SchedulerTest, ADestroyedSchedulerIssuesNoRecordCommandAfterItsWait) {
    QTimer::singleShot(2000, [this] { scheduler_.reset(); });  // inside the record delay
    Run({RecordJob(u"R"_s, S)}, kJustBefore, kSeven.addMSecs(4500));
    EXPECT_EQ(events_, QStringList{u"連線至 R"_s});
    EXPECT_FALSE(recorder_->IsRecording());
}

// A record-only job records from its start second to its stop second beside the station the
// user plays, which it leaves alone.
TEST_F(SchedulerTest, RecordOnlyJobsRecordInTheBackgroundFromStartToStop) {
    BackgroundRecordings background(player_->SettingFile(), audio_, player_->Log(), options_, dir_.path(),
                                    dir_.path());
    scheduler_->SetBackgroundRecordings(&background);
    PlayAndWait(*player_, Url(), u"Manual"_s, 0);
    events_.clear();
    const StationRow job = J(u"B"_s, S, u"07:00:01"_s, 1, 0, 0, kJobModeRecordOnly);
    EXPECT_EQ(Run({job}, kJustBefore, kAfter), QStringList());
    EXPECT_TRUE(
        WaitUntil([&] { return LogLines(log_).filter(u"〔B〕"_s).filter(u"正在錄製"_s).size() == 1; }, 5000));
    EXPECT_EQ(background.Count(), 1);
    PumpUntil(kSeven.addMSecs(1300));
    EXPECT_EQ(background.Count(), 0);
    EXPECT_EQ(Playing(), u"Manual"_s);
    EXPECT_FALSE(recorder_->IsRecording());
}

}  // namespace
}  // namespace wavelot::test
