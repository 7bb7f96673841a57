// Recording against a real Icecast server whose titles change through its admin interface: one
// tagged MP3 per title in the station's folder, the names, the bit rates, reconnects with and
// without recording again, hostile names, failures in the play log, and wavelot-cli record.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdlib>

#include "engine/record_options.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"
#include "tests/engine/player_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/mp3_probe.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

// One server for the whole program; every test has mounts of its own, titled from the start.
IcecastRig& Ice() {
    static IcecastRig rig;
    static const bool started = [] {
        if (!rig.Start())
            return false;
        const auto mount = [](const char* path, const char* name, const char* title) {
            IcecastRig::Source s;
            s.mount = path;
            s.name = name;
            return rig.StartSource(s) && rig.SetTitle(path, title);
        };
        return mount("/songs.mp3", "測試電台 Rock/Pop FM", "歌手甲 - 第一首") &&
               mount("/rates.mp3", "Rates FM", "Rate Song") && mount("/drop.mp3", "Drop FM", "Drop Song") &&
               mount("/unsafe.mp3", "..", "..") && mount("/fail.mp3", "Fail FM", "Fail Song") &&
               mount("/cli.mp3", "CLI FM", "CLI - One");
    }();
    (void)started;
    return rig;
}

QString Url(const std::string& mount) {
    return QString::fromStdString(Ice().Url(mount));
}

class TestOptions : public RecordOptions {
public:
    QString folder;
    int quality = 3;
    bool loop = false;
    QString RecordingFolder() const override { return folder; }
    int QualityIndex() const override { return quality; }
    bool LoopRecording() const override { return loop; }
};

// Names in a folder, in code-point order.
QStringList FilesIn(const QString& dir) {
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

class RecorderTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        ASSERT_GT(Ice().Port(), 0) << Ice().Error();
        program_ = dir_.filePath(u"program/"_s);
        QDir().mkpath(program_);
        options_.folder = dir_.filePath(u"rec"_s);
        recorder_ =
            std::make_unique<Recorder>(*player_, audio_, options_, program_, dir_.filePath(u"default/"_s));
        player_->SetRecordStarter([this] { recorder_->StartRecord(); });
        watchdog_ = std::make_unique<StreamWatchdog>(*player_, options_);
        QObject::connect(recorder_.get(), &Recorder::fileStarted, [this](const QString& f) {
            started_.append(f);
            startedAt_.append(clock_.elapsed());
        });
        clock_.start();
        // The window's song timer.
        songTimer_.setInterval(10);
        QObject::connect(&songTimer_, &QTimer::timeout, [this] { watchdog_->Tick(); });
        songTimer_.start();
    }
    void TearDown() override {
        songTimer_.stop();
        if (player_ && player_->IsRecording())
            player_->ToggleRecording();
        WaitUntil([&] { return recorder_->UnfinishedFiles() == 0; }, 5000);
        watchdog_.reset();
        recorder_.reset();
        PlayerTest::TearDown();
    }

    void Connect(const std::string& mount, const QString& title) {
        player_->PlayRadio(Url(mount), u"Station"_s, 0);
        ASSERT_TRUE(player_->IsConnected());
        ASSERT_TRUE(WaitUntil([&] { return player_->SongTitle() == title; }, 15000))
            << player_->SongTitle().toStdString();
    }
    void StopAndFinish() {
        player_->ToggleRecording();
        ASSERT_FALSE(player_->IsRecording());
        ASSERT_TRUE(WaitUntil([&] { return recorder_->UnfinishedFiles() == 0; }, 5000));
    }
    QString Root() const { return options_.folder + u'/'; }
    int LinesContaining(const QString& text) const {
        int n = 0;
        for (const QString& l : LogLines(log_))
            n += l.contains(text) ? 1 : 0;
        return n;
    }

    QString program_;
    TestOptions options_;
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<StreamWatchdog> watchdog_;
    QTimer songTimer_;
    QElapsedTimer clock_;
    QStringList started_;
    QList<qint64> startedAt_;
};

TEST_F(RecorderTest, OneTaggedFilePerTitleInTheStationFolder) {
    Connect("/songs.mp3", u"歌手甲 - 第一首"_s);
    player_->ToggleRecording();
    ASSERT_EQ(started_.size(), 1);
    PumpWait(2000);
    ASSERT_TRUE(Ice().SetTitle("/songs.mp3", "歌手乙 - 第二首"));
    PumpWait(2500);
    // The same title again: the second file of it gets the date.
    ASSERT_TRUE(Ice().SetTitle("/songs.mp3", "歌手甲 - 第一首"));
    ASSERT_TRUE(WaitUntil([&] { return started_.size() == 3; }, 15000)) << started_.join(u'\n').toStdString();
    PumpWait(1500);
    const qint64 stoppedAt = clock_.elapsed();
    StopAndFinish();

    const QString folder = Root() + u"測試電台 RockPop FM/"_s;
    EXPECT_EQ(FilesIn(Root()), QStringList{u"測試電台 RockPop FM"_s}) << "the cleaner drops the slash";
    const QStringList files = FilesIn(folder);
    ASSERT_EQ(files.size(), 3) << files.join(u'\n').toStdString();
    EXPECT_EQ(started_[0], folder + u"歌手甲 - 第一首.mp3"_s);
    EXPECT_EQ(started_[1], folder + u"歌手乙 - 第二首.mp3"_s);
    EXPECT_TRUE(QRegularExpression(u"^歌手甲 - 第一首_\\d{6}_\\d{6}_\\.mp3$"_s)
                    .match(QFileInfo(started_[2]).fileName())
                    .hasMatch())
        << started_[2].toStdString();

    const QString artists[3] = {u"歌手甲"_s, u"歌手乙"_s, u"歌手甲"_s};
    const QString titles[3] = {u"第一首"_s, u"第二首"_s, u"第一首"_s};
    for (int i = 0; i < 3; ++i) {
        const AudioFacts f = ProbeAudio(started_[i]);
        ASSERT_TRUE(f.ok) << started_[i].toStdString();
        EXPECT_EQ(f.codec, u"mp3"_s);
        EXPECT_EQ(f.bitRate, 128000);
        // Each file holds the sound from its switch to the next, to the sample.
        const qint64 end = i < 2 ? startedAt_[i + 1] : stoppedAt;
        EXPECT_NEAR(f.seconds, (end - startedAt_[i]) / 1000.0, 0.4) << i;
        EXPECT_EQ(f.tags.value(u"artist"_s), artists[i]);
        EXPECT_EQ(f.tags.value(u"title"_s), titles[i]);
        EXPECT_EQ(f.tags.value(u"album"_s), u"測試電台 Rock/Pop FM"_s);
        EXPECT_FALSE(f.tags.contains(u"TLEN"_s)) << "no length frame for a live input";
    }
    EXPECT_EQ(LinesContaining(u": 正在錄製 歌手甲 - 第一首"_s), 2);
    EXPECT_EQ(LinesContaining(u": 正在錄製 歌手乙 - 第二首"_s), 1);
}

TEST_F(RecorderTest, QualityEntryGivesTheBitRate) {
    Connect("/rates.mp3", u"Rate Song"_s);
    // 320 Kbps; an index outside the list records at 128 rather than failing.
    for (const auto& [quality, bitRate] : std::vector<std::pair<int, int>>{{6, 320000}, {42, 128000}}) {
        options_.quality = quality;
        started_.clear();
        player_->ToggleRecording();
        ASSERT_EQ(started_.size(), 1);
        PumpWait(1500);
        StopAndFinish();
        const AudioFacts f = ProbeAudio(started_[0]);
        EXPECT_EQ(f.bitRate, bitRate) << quality;
        EXPECT_NEAR(f.seconds, 1.5, 0.4) << quality;
    }
}

TEST_F(RecorderTest, AnotherStationOrAStopEndsTheRecording) {
    Connect("/rates.mp3", u"Rate Song"_s);
    int finished = 0;
    QObject::connect(recorder_.get(), &Recorder::fileFinished, [&] { ++finished; });
    // A station started while recording: the file is closed and the new station not recorded.
    player_->ToggleRecording();
    PumpWait(800);
    player_->PlayRadio(Url("/fail.mp3"), u"Other"_s, 0);
    EXPECT_FALSE(player_->IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return finished == 1; }, 5000));
    EXPECT_EQ(ProbeAudio(started_[0]).codec, u"mp3"_s);
    // The stop command.
    player_->ToggleRecording();
    PumpWait(800);
    player_->StopRadio();
    EXPECT_FALSE(player_->IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return finished == 2; }, 5000));
    EXPECT_EQ(started_.size(), 2);
    EXPECT_NEAR(ProbeAudio(started_[1]).seconds, 0.8, 0.4);
}

TEST_F(RecorderTest, DroppedStreamIsReconnectedAndRecordedAgainOnlyWithLoopRec) {
    for (const bool loop : {true, false}) {
        SCOPED_TRACE(loop ? "LoopRec 1" : "LoopRec 0");
        options_.loop = loop;
        started_.clear();
        Connect("/drop.mp3", u"Drop Song"_s);
        ASSERT_FALSE(player_->IsRecording());
        qint64 reconnectedAt = -1;
        bool reconnected = false;
        auto c = QObject::connect(watchdog_.get(), &StreamWatchdog::reconnected, [&](bool ok) {
            reconnected = ok;
            reconnectedAt = clock_.elapsed();
        });
        // The mount goes away and comes back before the buffered sound has played out.
        Ice().StopSource("/drop.mp3");
        IcecastRig::Source s;
        s.mount = "/drop.mp3";
        s.name = "Drop FM";
        ASSERT_TRUE(Ice().StartSource(s)) << Ice().Error();
        ASSERT_TRUE(Ice().SetTitle("/drop.mp3", "Drop Song"));
        ASSERT_TRUE(WaitUntil([&] { return reconnectedAt >= 0; }, 30000));
        ASSERT_TRUE(reconnected);
        if (loop) {
            ASSERT_TRUE(WaitUntil([&] { return !started_.isEmpty(); }, 6000));
            EXPECT_NEAR((startedAt_.last() - reconnectedAt) / 1000.0, 3.0, 0.5);
            EXPECT_TRUE(player_->IsRecording());
            StopAndFinish();
        } else {
            PumpWait(3500);
            EXPECT_TRUE(started_.isEmpty());
            EXPECT_FALSE(player_->IsRecording());
        }
        EXPECT_TRUE(player_->IsPlaying());
        QObject::disconnect(c);
    }
}

TEST_F(RecorderTest, HostileNamesStayInsideTheRecordingFolder) {
    player_->PlayRadio(Url("/unsafe.mp3"), u"Station"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    ASSERT_EQ(player_->DisplayName(), u".."_s);
    ASSERT_TRUE(WaitUntil([&] { return player_->SongTitle() == u".."_s; }, 15000));
    player_->ToggleRecording();
    PumpWait(1500);
    ASSERT_TRUE(Ice().SetTitle("/unsafe.mp3", "AC/DC - Back"));
    PumpWait(1500);
    const QString longTitle = QString(100, u'長');  // 300 bytes of UTF-8
    ASSERT_TRUE(Ice().SetTitle("/unsafe.mp3", longTitle.toStdString()));
    ASSERT_TRUE(WaitUntil([&] { return started_.size() == 3; }, 15000)) << started_.join(u'\n').toStdString();
    PumpWait(500);
    StopAndFinish();

    EXPECT_EQ(FilesIn(dir_.path()), (QStringList{u"Setting.ini"_s, u"program"_s, u"rec"_s}));
    EXPECT_EQ(FilesIn(Root()), QStringList{u"未命名電台"_s});
    const QString folder = Root() + u"未命名電台/"_s;
    const QString cut = QString(77, u'長') + u".mp3"_s;  // 231 bytes: room left for a date suffix
    QStringList expected{u"ACDC - Back.mp3"_s, u"未命名歌曲.mp3"_s, cut};
    expected.sort();
    EXPECT_EQ(FilesIn(folder), expected);
    EXPECT_EQ(ProbeAudio(folder + u"ACDC - Back.mp3"_s).tags.value(u"artist"_s), u"AC/DC"_s);
    EXPECT_EQ(ProbeAudio(folder + cut).tags.value(u"title"_s), longTitle) << "the tag keeps the whole title";
}

TEST_F(RecorderTest, RecordingsThatCannotStartOrEndByThemselvesAreReported) {
    Connect("/fail.mp3", u"Fail Song"_s);

    // A folder that cannot be made: its parent is a file.
    QFile blocker(dir_.filePath(u"blocker"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    options_.folder = dir_.filePath(u"blocker/rec"_s);
    player_->ToggleRecording();
    EXPECT_EQ(Untimed(LogLines(log_)).last(),
              u"T: 錯誤！無法錄音：無法寫入 "_s + options_.folder + u"/Fail FM/Fail Song.mp3"_s);
    EXPECT_TRUE(player_->IsRecording()) << "the wish stays for the next title";
    player_->ToggleRecording();

    // No lame in the program folder nor on the path.
    options_.folder = dir_.filePath(u"rec"_s);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir_.filePath(u"empty"_s).toUtf8());
    player_->ToggleRecording();
    qputenv("PATH", path);
    EXPECT_EQ(Untimed(LogLines(log_)).last(), u"T: 錯誤！無法錄音：找不到編碼程式 lame"_s);
    EXPECT_TRUE(FilesIn(Root() + u"Fail FM"_s).isEmpty()) << "no empty file is left behind";
    player_->ToggleRecording();

    // The program folder's own lame, which gives up after a moment.
    QFile lame(program_ + u"lame"_s);
    ASSERT_TRUE(lame.open(QIODevice::WriteOnly));
    lame.write("#!/bin/sh\nhead -c 100000 > /dev/null\nexit 1\n");
    lame.close();
    lame.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(recorder_->LamePath(), program_ + u"lame"_s);
    player_->ToggleRecording();
    ASSERT_EQ(started_.size(), 1);
    ASSERT_TRUE(WaitUntil([&] { return LinesContaining(u"錯誤！錄音中斷"_s) == 1; }, 8000));
    EXPECT_EQ(Untimed(LogLines(log_)).last(), u"T: 錯誤！錄音中斷：編碼程式 lame 已結束 "_s + started_[0]);
    EXPECT_TRUE(WaitUntil([&] { return recorder_->UnfinishedFiles() == 0; }, 5000));
    EXPECT_FALSE(QFile::exists(started_[0])) << "lame wrote nothing";
    EXPECT_TRUE(player_->IsPlaying()) << "playback goes on";
    EXPECT_TRUE(recorder_->CurrentFile().isEmpty());
}

// The command-line tool, run from a copy in a folder of its own (so its settings are private).
class CliRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(Ice().Port(), 0) << Ice().Error();
        ASSERT_TRUE(dir_.isValid());
        exe_ = dir_.filePath(u"wavelot-cli"_s);
        ASSERT_TRUE(QFile::copy(qEnvironmentVariable("WAVELOT_BUILD_DIR") + u"/app/wavelot-cli"_s, exe_));
    }
    QTemporaryDir dir_;
    QString exe_;
};

TEST_F(CliRecordTest, RecordsOneFilePerTitleAndPrintsThePlayLog) {
    const QString out = dir_.filePath(u"out"_s);
    QProcess p;
    p.start(exe_,
            {u"record"_s, Url("/cli.mp3"), u"--seconds"_s, u"8"_s, u"--dir"_s, out, u"--quality"_s, u"0"_s});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray log;
    bool titled = false;
    while (p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(100);
        log += p.readAllStandardOutput();
        if (!titled && log.contains("正在錄製"))
            titled = Ice().SetTitle("/cli.mp3", "CLI - Two");
    }
    log += p.readAllStandardOutput();
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList lines = Untimed(QString::fromUtf8(log).split(u'\n'));
    EXPECT_TRUE(lines.contains(u"T: 正在錄製 CLI - One"_s)) << log.toStdString();
    EXPECT_TRUE(lines.contains(u"T: 正在錄製 CLI - Two"_s)) << log.toStdString();
    const QString folder = out + u"/CLI FM/"_s;
    const QStringList files = FilesIn(folder);
    EXPECT_TRUE(files.contains(u"CLI - One.mp3"_s) && files.contains(u"CLI - Two.mp3"_s))
        << files.join(u'\n').toStdString();
    const AudioFacts two = ProbeAudio(folder + u"CLI - Two.mp3"_s);
    EXPECT_EQ(two.bitRate, 32000);
    EXPECT_EQ(two.tags.value(u"title"_s), u"Two"_s);
    EXPECT_FALSE(two.tags.contains(u"TLEN"_s));
}

TEST_F(CliRecordTest, FailedConnectExitsWithOneAndBadArgumentsAreAUsageError) {
    QProcess p;
    p.start(exe_,
            {u"record"_s, u"http://127.0.0.1:%1/none.mp3"_s.arg(FreeLoopbackPort()), u"--seconds"_s, u"3"_s});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1);
    for (const QStringList& args :
         {QStringList{u"record"_s, u"u"_s}, QStringList{u"record"_s, u"u"_s, u"--seconds"_s, u"x"_s},
          QStringList{u"record"_s, u"u"_s, u"--seconds"_s, u"1"_s, u"--quality"_s, u"high"_s},
          QStringList{u"record"_s, u"u"_s, u"--seconds"_s, u"1"_s, u"--dir"_s, QString()}}) {
        QProcess bad;
        bad.start(exe_, args);
        ASSERT_TRUE(bad.waitForFinished(10000));
        EXPECT_EQ(bad.exitCode(), 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(bad.readAllStandardError().contains("usage: wavelot-cli record"));
    }
}

}  // namespace
}  // namespace wavelot::test
