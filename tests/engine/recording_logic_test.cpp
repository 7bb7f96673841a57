// The recorder's and the watchdog's decisions on the fake stream engine: which file begins at
// which frame, when the wish to record holds, what is reported, and when a dropped stream is
// tried again. What lame writes and what a real server does is the rig tests' part.
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include "engine/record_options.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"
#include "tests/engine/player_fixture.h"
#include "tests/support/fake_stream_engine.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

const QString kUrl = u"http://fake/a"_s;

class RecordingLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        const QString program = dir_.filePath(u"program/"_s);
        QDir().mkpath(program);
        lame_ = program + u"lame"_s;
        MakeLame();
        options_.folder = dir_.filePath(u"rec"_s);
        player_.SetFadeTimes(0, 0);
        watchdog_.SetSecondMs(kSecondMs);
        engine_.titles[kUrl] = u"A - One"_s;
    }
    void MakeLame() {  // found, never run
        QFile::remove(lame_);
        QFile f(lame_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    void Play() {
        PlayAndWait(player_, kUrl, u"A"_s, 0);
        ASSERT_TRUE(player_.IsConnected());
    }
    QString File(const QString& title) const { return options_.folder + u"/Fake FM/"_s + title + u".mp3"_s; }
    QString LastLine() const { return Untimed(LogLines(log_)).last(); }

    static constexpr int kSecondMs = 200;  // long enough that a busy machine keeps the order
    QTemporaryDir dir_;
    QString lame_;
    FakeStreamEngine engine_;
    clsSongArray log_;
    FixedRecordOptions options_;
    Player player_{dir_.filePath(u"Setting.ini"_s), engine_, log_};
    Recorder recorder_{player_, engine_, options_, dir_.filePath(u"program/"_s), dir_.path()};
    StreamWatchdog watchdog_{player_, recorder_, options_};
    QSignalSpy started_{&recorder_, &Recorder::fileStarted};
    QSignalSpy wish_{&recorder_, &Recorder::recordingChanged};
};

TEST_F(RecordingLogicTest, EachTitleBeginsAFileAtItsFrameWhileTheWishHolds) {
    Play();
    recorder_.ToggleRecording();
    ASSERT_EQ(started_.size(), 1);
    EXPECT_EQ(started_[0][0].toString(), File(u"A - One"_s));
    EXPECT_EQ(engine_.LastEncoder()->from, audio::SAMPLE_HEARD_NOW) << "the first from what is heard";
    EXPECT_TRUE(engine_.LastEncoder()->argv.contains(File(u"A - One"_s)));
    EXPECT_EQ(engine_.LastEncoder()->argv[0], lame_);

    engine_.SetTitle(player_.Current(), u"B/C - Two"_s, 90000);
    ASSERT_TRUE(WaitUntil([&] { return started_.size() == 2; }, 1000));
    EXPECT_EQ(started_[1][0].toString(), File(u"BC - Two"_s));
    EXPECT_EQ(engine_.LastEncoder()->from, 90000u) << "the next at its title's frame";
    EXPECT_TRUE(engine_.encoders.begin()->second.stopped);

    recorder_.ToggleRecording();  // off: the file ends, a later title begins none
    EXPECT_TRUE(engine_.LastEncoder()->stopped);
    engine_.SetTitle(player_.Current(), u"D - Three"_s, 180000);
    WaitUntil([&] { return player_.SongTitle() == u"D - Three"_s; }, 1000);
    EXPECT_EQ(started_.size(), 2);

    recorder_.ToggleRecording();
    player_.PlayRadio(kUrl, u"A"_s, 0);  // leaving the stream ends the file and the wish
    EXPECT_TRUE(engine_.LastEncoder()->stopped);
    EXPECT_FALSE(recorder_.IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return recorder_.UnfinishedFiles() == 0; }, 1000));
    EXPECT_EQ(wish_.size(), 3) << "the three toggles only";
}

TEST_F(RecordingLogicTest, FilesThatCannotBeginOrEndByThemselvesAreReported) {
    Play();
    struct Case {
        const char* what;
        std::function<void()> arrange;
        QString line;
        bool stays;  // the wish stays for the next title
    };
    const QByteArray path = qgetenv("PATH");
    const Case cases[] = {
        {"folder blocked", [&] { options_.folder = dir_.filePath(u"program/lame/rec"_s); },
         u"T: 錯誤！無法錄音：無法寫入 "_s + dir_.filePath(u"program/lame/rec/Fake FM/A - One.mp3"_s), true},
        {"no lame",
         [&] {
             options_.folder = dir_.filePath(u"rec"_s);
             QFile::remove(lame_);
             qputenv("PATH", "/nonexistent");
         },
         u"T: 錯誤！無法錄音：找不到編碼程式 lame"_s, true},
        {"lame will not start",
         [&] {
             qputenv("PATH", path);
             MakeLame();
             engine_.encodersFail = true;
         },
         u"T: 錯誤！無法錄音：無法啟動編碼程式 "_s + lame_, true},
    };
    for (const Case& c : cases) {
        c.arrange();
        recorder_.ToggleRecording();
        EXPECT_TRUE(LastLine().startsWith(c.line)) << c.what << ": " << LastLine().toStdString();
        EXPECT_EQ(recorder_.IsRecording(), c.stays) << c.what;
        EXPECT_TRUE(recorder_.CurrentFile().isEmpty()) << c.what;
        recorder_.ToggleRecording();
    }
    qputenv("PATH", path);
    EXPECT_TRUE(QDir(options_.folder + u"/Fake FM"_s).isEmpty()) << "no empty file is left behind";

    // An encoder that ends by itself, or hangs and is killed, is reported once and released.
    engine_.encodersFail = false;
    for (const bool stalled : {false, true}) {
        recorder_.ToggleRecording();
        ASSERT_FALSE(recorder_.CurrentFile().isEmpty());
        const QString file = recorder_.CurrentFile();
        engine_.EncoderEnds(engine_.encoders.rbegin()->first, stalled);
        ASSERT_TRUE(WaitUntil([&] { return recorder_.UnfinishedFiles() == 0; }, 1000));
        EXPECT_EQ(LastLine(),
                  u"T: 錯誤！錄音中斷：編碼程式 lame "_s + (stalled ? u"沒有回應 "_s : u"已結束 "_s) + file);
        EXPECT_TRUE(engine_.LastEncoder()->stopped);
        EXPECT_TRUE(recorder_.CurrentFile().isEmpty());
        EXPECT_FALSE(QFile::exists(file)) << "lame wrote nothing";
        recorder_.ToggleRecording();
    }
    EXPECT_TRUE(player_.IsPlaying()) << "playback goes on";
}

// A stream that drops is tried at once, then after 1, 2, 4 … of the watchdog's seconds, one
// log line per failure, until the server is back.
TEST_F(RecordingLogicTest, ADroppedStreamIsTriedAgainOnItsSchedule) {
    Play();
    QElapsedTimer clock;
    QList<qint64> failedAt;
    QSignalSpy done(&watchdog_, &StreamWatchdog::reconnected);
    QObject::connect(&watchdog_, &StreamWatchdog::reconnected, [&](bool ok) {
        if (!ok)
            failedAt.append(clock.elapsed());
    });
    engine_.down.insert(kUrl);
    clock.start();
    engine_.End(player_.Current());
    ASSERT_TRUE(WaitUntil([&] { return failedAt.size() == 5; }, 30 * kSecondMs));
    engine_.down.clear();
    ASSERT_TRUE(WaitUntil([&] { return done.size() == 6; }, 30 * kSecondMs));
    EXPECT_TRUE(done.last()[0].toBool());
    EXPECT_TRUE(player_.IsPlaying());
    EXPECT_LT(failedAt[0], kSecondMs) << "the first attempt at once";
    for (int i = 1; i < failedAt.size(); ++i) {
        const int expected = std::array{0, 1, 2, 4, 8}[size_t(i)] * kSecondMs;
        EXPECT_GE(failedAt[i] - failedAt[i - 1], expected * 9 / 10) << "attempt " << i;     // coarse timers
        EXPECT_LT(failedAt[i] - failedAt[i - 1], expected + kSecondMs) << "attempt " << i;  // a busy machine
    }
    EXPECT_EQ(LogLines(log_).filter(u"錯誤！無法連線至 A"_s).size(), 5);
    EXPECT_EQ(LogLines(log_).filter(u"連線至 A"_s).size() - 5, 3)
        << "the first connect, the drop's, the last";
}

// After a reconnect a recording that ran goes on at once; without one, loop recording starts one
// three seconds later.
TEST_F(RecordingLogicTest, AfterAReconnectTheRecordingResumesOrLoopRecordingStarts) {
    struct Case {
        bool recording, loop;
        int files;  // begun after the reconnect
        bool atOnce;
    };
    for (const Case c :
         {Case{true, false, 1, true}, Case{false, true, 1, false}, Case{false, false, 0, false}}) {
        SCOPED_TRACE(testing::Message() << "recording " << c.recording << ", loop " << c.loop);
        options_.loop = c.loop;
        Play();
        if (c.recording)
            recorder_.ToggleRecording();
        started_.clear();
        QSignalSpy done(&watchdog_, &StreamWatchdog::reconnected);
        engine_.End(player_.Current());
        ASSERT_TRUE(done.wait(1000));
        EXPECT_EQ(started_.size(), c.atOnce ? 1 : 0);
        WaitUntil([] { return false; },
                  StreamWatchdog::kRecordAgainAfterMs * kSecondMs / 1000 + 4 * kSecondMs);
        EXPECT_EQ(started_.size(), c.files);
        EXPECT_EQ(recorder_.IsRecording(), c.files > 0);
        if (recorder_.IsRecording())
            recorder_.ToggleRecording();
    }
}

// A play or stop that comes while another is under way runs to its end first, as if each call
// had waited for its own end: the log's order, the stream that stays current and whether it
// counts as connected.
TEST_F(RecordingLogicTest, AnOperationOvertakingAnotherEndsFirst) {
    const QString b = u"http://fake/b"_s, c = u"http://fake/c"_s;
    engine_.titles[b] = u"B - Two"_s;
    engine_.titles[c] = u"C - Three"_s;
    struct Case {
        const char* what;
        std::function<void()> act;
        QStringList lines;  // the connect, title and stop lines after A's
        QString current;    // the station whose stream stays current
        bool connected;
    };
    const Case cases[] = {
        {"a play during another's cross-fade",
         [&] {
             player_.PlayRadio(b, u"B"_s, 0);
             ASSERT_TRUE(WaitUntil([&] { return player_.StationUrl() == b; }, 1000));
             player_.PlayRadio(c, u"C"_s, 0);
         },
         {u"T: 連線至 B"_s, u"T: B - Two"_s, u"T: 連線至 C"_s, u"T: C - Three"_s},
         c,
         true},
        {"a stop during a connect",
         [&] {
             player_.PlayRadio(b, u"B"_s, 0);
             player_.StopRadio();
         },
         {u"T: 連線至 B"_s, u"T: 停止播放"_s, u"T: B - Two"_s},
         b,
         true},
        {"a play during a stop's fade",
         [&] {
             player_.StopRadio();
             player_.PlayRadio(b, u"B"_s, 0);
         },
         {u"T: 連線至 B"_s, u"T: B - Two"_s, u"T: 停止播放"_s},
         b,
         true},
    };
    player_.SetFadeTimes(60, 40);
    for (const Case& test : cases) {
        PlayAndWait(player_, kUrl, u"A"_s, 0);
        const int from = log_.ListCount();
        test.act();
        ASSERT_TRUE(WaitSettled(player_, 5000)) << test.what;
        QStringList lines = Untimed(LogLines(log_)).mid(from);
        lines.removeIf([](const QString& l) {
            return !l.startsWith(u"T: 連線至"_s) && !l.startsWith(u"T: 停止"_s) && !l.contains(u" - "_s);
        });
        EXPECT_EQ(lines, test.lines) << test.what;
        EXPECT_EQ(player_.StationUrl(), test.current) << test.what;
        EXPECT_EQ(player_.IsConnected(), test.connected) << test.what;
        EXPECT_EQ(engine_.Streams(), 1) << test.what << ": every other stream is freed";
        StopAndWait(player_);
    }
}

}  // namespace
}  // namespace wavelot::test
