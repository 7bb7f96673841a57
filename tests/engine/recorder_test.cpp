// Recording against a real Icecast server whose titles change through its admin interface: one
// tagged MP3 per title with safe names at the chosen bit rate, a lame that takes nothing, and
// wavelot-cli record. The recorder's decisions alone are tested on the fake engine.
#include <QTimer>

#include "tests/engine/recording_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/icy_server.h"
#include "tests/support/mp3_probe.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

// One server for the program; each test has mounts of its own, titled from the start.
IcecastRig& Ice() {
    static IcecastRig rig;
    static const bool started = [] {
        const auto mount = [](const char* path, const char* name, const char* title) {
            return rig.StartSource({.mount = path, .name = name}) && rig.SetTitle(path, title);
        };
        return rig.Start() && mount("/songs.mp3", "..", "歌手甲 - 第一首") &&
               mount("/cli.mp3", "CLI FM", "CLI - One");
    }();
    (void)started;
    return rig;
}
QString Url(const std::string& mount) {
    return QString::fromStdString(Ice().Url(mount));
}

QStringList FilesIn(const QString& dir) {  // in code-point order
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

class RecorderTest : public RecordingTest {
protected:
    void SetUp() override {
        RecordingTest::SetUp();
        ASSERT_GT(Ice().Port(), 0) << Ice().Error();
    }
    void Connect(const std::string& mount, const QString& title) {
        PlayAndWait(*player_, Url(mount), u"Station"_s, 0);
        ASSERT_TRUE(WaitUntil([&] { return player_->SongTitle() == title; }, 15000));
    }
};

TEST_F(RecorderTest, OneTaggedFilePerTitleUnderSafeNames) {
    Connect("/songs.mp3", u"歌手甲 - 第一首"_s);
    options_.quality = 6;  // "320 Kbps"
    // The first file begins at what the listener hears, the later ones at their title, which is
    // told as it is decoded: the first holds the decoder's lead more than its time.
    const auto sample = [&](quint32 which) { return audio_.ChannelGetSample(player_->Current(), which); };
    const double lead = double(sample(audio::SAMPLE_DECODED) - sample(audio::SAMPLE_HEARD)) / 44100;
    recorder_->ToggleRecording();
    std::string overlong = "歌手 - ";  // 309 bytes
    for (int i = 0; i < 100; ++i)
        overlong += "長";
    const std::string titles[] = {"AC/DC - 第二首", "歌手甲 - 第一首", overlong};
    for (const std::string& t : titles) {
        PumpWait(2000);
        ASSERT_TRUE(Ice().SetTitle("/songs.mp3", t));
    }
    ASSERT_TRUE(WaitUntil([&] { return started_.size() == 4; }, 15000)) << started_.join(u'\n').toStdString();
    PumpWait(1000);
    const qint64 stoppedAt = clock_.elapsed();
    EXPECT_EQ(activeChanges_, QList<bool>{true}) << "one recording across the switches";
    recorder_->ToggleRecording();
    Finish();
    EXPECT_EQ(activeChanges_, (QList<bool>{true, false}));

    // The station's name ".." gets a name of its own; a title's slash is dropped; the same title
    // again gets the date; an overlong title is cut, leaving room for a date.
    EXPECT_EQ(FilesIn(dir_.path()), (QStringList{u"Setting.ini"_s, u"program"_s, u"rec"_s}));
    const QString folder = Root() + u"未命名電台/"_s;
    EXPECT_EQ(started_[0], folder + u"歌手甲 - 第一首.mp3"_s);
    EXPECT_EQ(started_[1], folder + u"ACDC - 第二首.mp3"_s);
    EXPECT_TRUE(
        QRegularExpression(u"/歌手甲 - 第一首_\\d{6}_\\d{6}_\\.mp3$"_s).match(started_[2]).hasMatch());
    EXPECT_EQ(started_[3], folder + u"歌手 - "_s + QString(74, u'長') + u".mp3"_s);  // 231 bytes
    const QString artists[] = {u"歌手甲"_s, u"AC/DC"_s, u"歌手甲"_s, u"歌手"_s};
    const QString songs[] = {u"第一首"_s, u"第二首"_s, u"第一首"_s, QString(100, u'長')};
    for (int i = 0; i < 4; ++i) {
        const AudioFacts f = ProbeAudio(started_[i]);
        EXPECT_EQ(f.codec, u"mp3"_s) << i;
        EXPECT_EQ(f.bitRate, 320000);
        // Each file holds the sound from its switch to the next, to the sample.
        EXPECT_NEAR(f.seconds,
                    ((i < 3 ? startedAt_[i + 1] : stoppedAt) - startedAt_[i]) / 1000.0 + (i ? 0 : lead), 0.4)
            << i;
        EXPECT_EQ(f.tags[u"artist"_s].toString(), artists[i]);
        EXPECT_EQ(f.tags[u"title"_s].toString(), songs[i]);
        EXPECT_EQ(f.tags[u"album"_s].toString(), u".."_s);
        EXPECT_FALSE(f.tags.contains(u"TLEN"_s)) << "no length frame for a live input";
    }
    EXPECT_EQ(CountLinesEndingWith(u": 正在錄製 歌手甲 - 第一首"_s), 2);
}

// A lame that takes nothing: the title changes at once, each of its files is reported and ended
// within the ten-second stall limit, and the main thread never waits for the program.
TEST_F(RecorderTest, AnEncoderThatTakesNothingNeverHoldsUpTheMainThread) {
    IcyServer icy;
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Hang FM", 8000);
    s.metaint = 8000;
    s.audioFile = IcyServer::MakeTone(dir_.path().toStdString(), 440, 10);
    ASSERT_FALSE(s.audioFile.empty()) << "ffmpeg must be installed";
    icy.SetStream("/hang", s);
    icy.SetMeta("/hang", "StreamTitle='Hang - One';");
    PlayAndWait(*player_, QString::fromStdString(icy.Url("/hang")), u"Hang"_s, 0);
    ASSERT_TRUE(WaitUntil([&] { return player_->SongTitle() == u"Hang - One"_s; }, 15000));
    QFile lame(program_ + u"lame"_s);
    ASSERT_TRUE(lame.open(QIODevice::WriteOnly) && lame.write("#!/bin/sh\nexec sleep 60\n"));
    lame.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    lame.close();
    QList<qint64> finishedAt;
    QObject::connect(recorder_.get(), &Recorder::fileFinished, [&] { finishedAt.append(clock_.elapsed()); });
    qint64 longest = 0, last = clock_.elapsed();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock_.elapsed() - last);
        last = clock_.elapsed();
    });
    tick.start(10);

    recorder_->ToggleRecording();
    WaitUntil([] { return false; }, 1000);
    icy.SetMeta("/hang", "StreamTitle='Hang - Two';");
    ASSERT_TRUE(WaitUntil([&] { return finishedAt.size() == 2; }, 12000));
    EXPECT_LT(longest, 1500) << "ms the main thread stood still";
    ASSERT_EQ(started_.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(CountLinesEndingWith(u": 錯誤！錄音中斷：編碼程式 lame 沒有回應 "_s + started_[i]), 1) << i;
        EXPECT_LE(finishedAt[i] - startedAt_[i], 10000) << i;
    }
    EXPECT_TRUE(player_->IsPlaying());
}

TEST(CliRecordTest, RecordsTheStationOrExitsWithOneWhenTheConnectFails) {
    ASSERT_GT(Ice().Port(), 0) << Ice().Error();
    QTemporaryDir dir;  // a copy of the tool, so its settings are private
    const QString exe = dir.filePath(u"wavelot-cli"_s), out = dir.filePath(u"out"_s);
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("WAVELOT_BUILD_DIR") + u"/app/wavelot-cli"_s, exe));
    QProcess p;
    p.start(exe,
            {u"record"_s, Url("/cli.mp3"), u"--seconds"_s, u"3"_s, u"--dir"_s, out, u"--quality"_s, u"0"_s});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().contains(": 正在錄製 "));
    const AudioFacts f = ProbeAudio(out + u"/CLI FM/CLI - One.mp3"_s);
    EXPECT_EQ(f.bitRate, 32000);
    EXPECT_EQ(f.tags[u"title"_s].toString(), u"One"_s);

    p.start(exe,
            {u"record"_s, u"http://127.0.0.1:%1/none.mp3"_s.arg(FreeLoopbackPort()), u"--seconds"_s, u"3"_s});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1);
}

}  // namespace
}  // namespace wavelot::test
