// A record job on the real player and a stream server of the tests' own: its file holds the
// sound from the job's start second to its stop second, less only the time the connect took.
#include "scheduler/job_scheduler.h"
#include "scheduler/job_time.h"
#include "tests/engine/recording_fixture.h"
#include "tests/support/station_sound.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

class JobSpanTest : public RecordingTest {
protected:
    IcyServer icy_;
};

TEST_F(JobSpanTest, ARecordJobsFileCoversItsSpanLessTheConnect) {
    IcyServer::Stream s{.head = IcyServer::IcyHead("Span", 8000), .metaint = 8000};
    s.audioFile = WriteBytes(dir_.path().toStdString() + "/span.mp3",
                             StationMp3(u"sine=frequency=440:sample_rate=44100:duration=20"_s, 44100, true));
    ASSERT_FALSE(s.audioFile.empty()) << "ffmpeg must be installed";
    icy_.SetStream("/span", s);
    player_->SetFadeTimes(0, 0);

    const QDateTime start(QDate(2024, 1, 8), QTime(7, 0, 0));
    const QDateTime stop = start.addSecs(5);  // past the connect and the record delay
    QDateTime base = start.addMSecs(-300);
    QElapsedTimer since;
    since.start();
    const auto now = [&] { return base.addMSecs(since.elapsed()); };
    clsSongArray jobs;
    jobs.AddItem({.file = QString::fromStdString(icy_.Url("/span")),
                  .title = u"Span"_s,
                  .jobMode = kJobModeRecord,
                  .jobStart = u"07:00:00"_s,
                  .jobStop = u"07:00:05"_s,
                  .runJob = kJobEnabled});
    qint64 connectMs = -1;
    QObject::connect(player_.get(), &Player::connectFinished, [&](bool connected) {
        if (connected)
            connectMs = start.msecsTo(now());
    });
    JobScheduler scheduler(jobs, *player_, *recorder_, settingFile_, now);
    scheduler.Start();
    ASSERT_TRUE(WaitUntil([&] { return now() > stop.addMSecs(300) && !scheduler.Scanning(); }, 20000));
    scheduler.Stop();
    Finish();
    ASSERT_EQ(started_.size(), 1);
    ASSERT_GE(connectMs, 0);
    const std::vector<float> x = MonoSound(started_[0]);
    const double want = double(start.msecsTo(stop) - connectMs) * 44.1;
    // Within six frames: the stop second's timer and the connect's signal each come a turn of
    // the event loop late, which lengthens the file against the span. A stop at the last frame
    // decoded instead of the one heard adds about eleven.
    EXPECT_NEAR(double(x.size()), want, 6 * 1152) << "connect " << connectMs << " ms";
}

}  // namespace
}  // namespace wavelot::test
