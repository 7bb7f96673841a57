// Unbroken recordings against the tests' own ICY server: a file per title split at the frame the
// title stands before, a server's pause waited for in the same file, and a recording that goes on
// after the server was away without recording the server's burst twice; two stations recorded in
// the background beside the one that plays.
#include <QElapsedTimer>
#include <QTimer>

#include "core/settings_keys.h"
#include "engine/background_recording.h"
#include "engine/record_files.h"
#include "tests/engine/recording_fixture.h"
#include "tests/support/mp3_probe.h"
#include "tests/support/station_sound.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

class ContinuityTest : public RecordingTest {
protected:
    QString Serve(const std::string& path, const IcyServer::Stream& s) {
        icy_.SetStream(path, s);
        return QString::fromStdString(icy_.Url(path));
    }
    std::string Scratch() const { return dir_.path().toStdString(); }
    quint64 Sample(quint32 which) const { return audio_.ChannelGetSample(player_->Current(), which); }
    int Lines(const QString& text) const { return int(LogLines(log_).filter(text).size()); }

    IcyServer icy_;
};

TEST_F(ContinuityTest, EachTitleBeginsItsFileAtTheFrameAfterIt) {
    // Three songs of a tone each, joined frame by frame (48 kHz: 384-byte frames of 1152
    // samples). The titles of B and C stand in the frame before their song's first: 64 bytes
    // into frames 104 and 229 (metadata comes every 8000 bytes).
    const auto tone = [](int hz, double s) {
        return StationMp3(u"sine=frequency=%1:sample_rate=48000:duration=%2"_s.arg(hz).arg(s), 48000, true);
    };
    const QByteArray a = tone(440, 3), b = tone(1000, 3.5), c = tone(2500, 8);
    ASSERT_GE(a.size(), 105 * 384) << "ffmpeg must be installed";
    ASSERT_GE(b.size(), 125 * 384);
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Songs", 8000);
    s.metaint = 8000;
    s.audioFile = WriteBytes(Scratch() + "/songs.mp3", a.left(105 * 384) + b.left(125 * 384) + c);
    s.titles = {
        {8000, "StreamTitle='Song A';"}, {40000, "StreamTitle='Song B';"}, {88000, "StreamTitle='Song C';"}};
    QList<quint64> at;
    QObject::connect(player_.get(), &Player::titleChanged, [&] {
        quint64 sample = 0;
        audio_.ChannelGetTags(player_->Current(), audio::TAG_META, &sample);
        at.append(sample);
    });
    PlayAndWait(*player_, Serve("/songs", s), u"Songs"_s, 0);
    ASSERT_TRUE(WaitUntil([&] { return player_->SongTitle() == u"Song A"_s; }, 10000));
    const quint64 heardBefore = Sample(audio::SAMPLE_HEARD);
    recorder_->ToggleRecording();
    const quint64 heardAfter = Sample(audio::SAMPLE_HEARD);
    const double frame = 1152 * 44100.0 / 48000;  // one source frame at the output rate
    ASSERT_TRUE(
        WaitUntil([&] { return at.size() == 3 && Sample(audio::SAMPLE_DECODED) > 260 * frame; }, 20000));
    const quint64 decodedBefore = Sample(audio::SAMPLE_DECODED);
    recorder_->ToggleRecording();
    const quint64 decodedAfter = Sample(audio::SAMPLE_DECODED);
    Finish();

    // The titles take effect at the first sample of frames 105 and 230.
    EXPECT_NEAR(double(at[1]), 105 * frame, 2);
    EXPECT_NEAR(double(at[2]), 230 * frame, 2);
    ASSERT_EQ(started_.size(), 3);
    std::vector<std::vector<float>> sound;
    size_t total = 0;
    for (const QString& f : started_) {
        sound.push_back(MonoSound(f));
        total += sound.back().size();
    }
    // B holds its song and nothing else, to the sample; all three hold what was recorded.
    EXPECT_NEAR(double(sound[1].size()), double(at[2] - at[1]), 2);
    EXPECT_GE(double(total), double(decodedBefore - heardAfter) - frame);
    EXPECT_LE(double(total), double(decodedAfter - heardBefore) + frame);
    // Frame by frame, each file is its own song's tone; only the first frame of B and C may still
    // carry the tail of the song before (the decoder overlaps each frame with the last).
    const double tones[] = {440, 1000, 2500};
    for (int i = 0; i < 3; ++i) {
        const std::vector<float>& x = sound[size_t(i)];
        ASSERT_GT(x.size(), size_t(4 * frame)) << i;
        for (size_t from = i == 0 ? 0 : size_t(frame); from + size_t(frame) <= x.size();
             from += size_t(frame)) {
            const double own = ToneLevel(x, from, from + size_t(frame), tones[i]);
            for (int j = 0; j < 3; ++j) {
                if (j == i)
                    continue;
                ASSERT_GT(own, 10 * ToneLevel(x, from, from + size_t(frame), tones[j]))
                    << "file " << i << " at " << from << " holds tone " << j;
            }
        }
    }
}

TEST_F(ContinuityTest, AServerThatPausesIsWaitedForInTheSameFile) {
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Pause FM", 8000);
    s.metaint = 8000;
    s.audioFile = IcyServer::MakeTone(Scratch(), 440, 20);
    s.burstBytes = 8000;  // half a second ahead: the pause is heard as a stall
    icy_.SetMeta("/pause", "StreamTitle='Pause';");
    PlayAndWait(*player_, Serve("/pause", s), u"Pause"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    int reconnects = 0;
    QObject::connect(watchdog_.get(), &StreamWatchdog::reconnected, [&] { ++reconnects; });
    QTimer song;  // the window's song timer
    QObject::connect(&song, &QTimer::timeout, watchdog_.get(), &StreamWatchdog::Tick);
    song.start(10);
    const quint64 heard = Sample(audio::SAMPLE_HEARD);
    recorder_->ToggleRecording();
    PumpWait(1000);

    icy_.Pause("/pause", 5000);
    bool stalled = false, notPlaying = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        stalled = stalled || audio_.ChannelIsActive(player_->Current()) == audio::ACTIVE_STALLED;
        notPlaying = notPlaying || player_->PlaybackState() != Player::State::Playing;
    });
    probe.start(20);
    PumpWait(5000 + 2500);
    probe.stop();
    const quint64 decoded = Sample(audio::SAMPLE_DECODED);
    recorder_->ToggleRecording();
    Finish();

    EXPECT_TRUE(stalled) << "the pause was heard";
    EXPECT_FALSE(notPlaying) << "a stall is no drop";
    EXPECT_EQ(reconnects, 0);
    EXPECT_EQ(icy_.RequestHeads().size(), 1u);
    ASSERT_EQ(started_.size(), 1);
    EXPECT_NEAR(double(MonoSound(started_[0]).size()), double(decoded - heard), 2048)
        << "one file with what the stream gave, and nothing else";
}

// The same for lame's MP3 and for the station's own frames copied.
class ContinuityByQualityTest : public ContinuityTest, public ::testing::WithParamInterface<int> {};

TEST_P(ContinuityByQualityTest, AfterTheServerWasAwayTheRecordingGoesOnWithoutTheBurstAgain) {
    // A six-second burst: the server comes back while the stream still plays what it had, and
    // answers the reconnect with seconds the recording already holds.
    options_.quality = GetParam();
    PlayAndWait(*player_, Serve("/noise", LiveNoise(Scratch(), 96000)), u"Noise"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    int failed = 0;
    QObject::connect(watchdog_.get(), &StreamWatchdog::reconnected, [&](bool ok) { failed += ok ? 0 : 1; });
    recorder_->ToggleRecording();
    PumpWait(3000);
    icy_.Away(5000);
    ASSERT_TRUE(WaitUntil([&] { return started_.size() == 2; }, 30000)) << "the recording goes on";
    const std::vector<IcyServer::Span> spans = icy_.Spans("/noise");
    ASSERT_EQ(spans.size(), 2u);
    const double repeated = double(spans[0].to - spans[1].from) * kSamplesPerByte;
    ASSERT_GT(repeated, 3 * 44100.0) << "the burst repeats what the first connection got";
    ASSERT_TRUE(
        WaitUntil([&] { return double(Sample(audio::SAMPLE_DECODED)) > repeated + 2 * 44100; }, 20000));
    const quint64 decoded = Sample(audio::SAMPLE_DECODED);
    recorder_->ToggleRecording();
    Finish();

    EXPECT_TRUE(player_->IsPlaying());
    EXPECT_EQ(Lines(u"錯誤！無法連線至"_s), failed);
    const std::vector<float> before = MonoSound(started_[0]), after = MonoSound(started_[1]);
    // The new file begins where the old one ended: its first frames are not in the old file, and
    // it holds the new stream's sound less what repeated (give or take the partial frames at
    // either end of a connection, lame's last frame or the packet the stop leaves out).
    ASSERT_GT(after.size(), 44100u);
    ASSERT_GT(before.size(), 8 * 44100u);
    const std::vector<float> start(after.begin() + 4410, after.begin() + 4410 + 22050);
    EXPECT_LT(BestMatch(std::vector<float>(before.end() - 8 * 44100, before.end()), start), 0.5);
    EXPECT_NEAR(double(after.size()), double(decoded) - repeated, 2700);
}

INSTANTIATE_TEST_SUITE_P(LameAndOwnFormat, ContinuityByQualityTest,
                         ::testing::Values(3, settings::kQualityOwnFormat));

}  // namespace
}  // namespace wavelot::test

namespace wavelot::test {
namespace {

// Two stations recorded in the background while a third plays: each a tagged file per title in its
// own folder, each song whole, the last file ended at the stop, each station's log lines under its
// name, and the playing station left as it was.
TEST_F(ContinuityTest, ABackgroundRecordingLeavesWhatPlaysAlone) {
    const QByteArray tone = StationMp3(u"sine=frequency=440:sample_rate=44100:duration=8"_s, 44100, false);
    ASSERT_FALSE(tone.isEmpty()) << "ffmpeg must be installed";
    const QStringList titles = {u"甲 - 一"_s, u"乙 - 二"_s, u"丙 - 三"_s};
    // Songs of two seconds (16000 bytes a second), the first from half a second in.
    const std::string file = WriteBytes(Scratch() + "/tone.mp3", tone);
    const auto station = [&](const char* name) {
        IcyServer::Stream s{.head = IcyServer::IcyHead(name, 8000), .audioFile = file, .metaint = 8000};
        for (int i = 0; i < 3; ++i)
            s.titles.push_back({8000 + 32000 * i, "StreamTitle='" + titles[i].toStdString() + "';"});
        return s;
    };
    PlayAndWait(*player_, Serve("/playing", station("P")), u"Playing"_s, 0);
    const audio::StreamHandle playing = player_->Current();
    BackgroundRecordings background(player_->SettingFile(), audio_, player_->Log(), options_, program_,
                                    dir_.path());
    QStringList finished;
    QObject::connect(&background, &BackgroundRecordings::fileFinished,
                     [&](const QString& file) { finished.append(file); });
    const QString names[] = {u"A"_s, u"B"_s};
    background.Start(u"a"_s, Serve("/a", station("A")), names[0], 0);
    background.Start(u"b"_s, Serve("/b", station("B")), names[1], 0);
    const auto folder = [&](int i) { return Root() + names[i] + u'/'; };  // the station's own name
    const auto last = [&](int i) { return folder(i) + titles[2] + u".mp3"_s; };
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(last(0)) && QFileInfo::exists(last(1)); }, 20000))
        << LogLines(log_).join(u'\n').toStdString();
    QElapsedTimer sinceLast;
    sinceLast.start();
    PumpWait(1200);
    background.Stop(u"a"_s);
    background.Stop(u"b"_s);
    const double stoppedAfter = sinceLast.elapsed() / 1000.0;
    ASSERT_TRUE(WaitUntil([&] { return background.UnfinishedFiles() == 0; }, 10000));
    EXPECT_TRUE(player_->Current() == playing && player_->IsPlaying());
    EXPECT_FALSE(recorder_->IsRecording());
    const QStringList recording = LogLines(log_).filter(u"正在錄製 "_s);
    int files = 0;
    for (int i = 0; i < 2; ++i) {
        // The half second before the first title is the first song's, or a file of the station's
        // name when the recording began before that title was read.
        const QString lead = folder(i) + names[i] + u".mp3"_s;
        const int own = 3 + int(QFileInfo::exists(lead));
        files += own;
        EXPECT_EQ(QDir(folder(i)).entryList(QDir::Files).size(), own) << folder(i).toStdString();
        EXPECT_EQ(recording.filter(u"〔"_s + names[i] + u"〕"_s).size(), own)
            << recording.join(u'\n').toStdString();
        double seconds[3] = {};
        for (int t = 0; t < 3; ++t) {
            const AudioFacts f = ProbeAudio(folder(i) + titles[t] + u".mp3"_s);
            EXPECT_EQ(f.tags.value(u"title"_s).toString(), SplitSongTitle(titles[t]).title);
            EXPECT_EQ(f.tags.value(u"album"_s).toString(), names[i]);
            seconds[t] = f.seconds;
        }
        // Each song whole, to a few frames, from the stream's first sound; the last up to the stop.
        EXPECT_NEAR(seconds[0] + (own > 3 ? ProbeAudio(lead).seconds : 0), 2.5, 0.1)
            << names[i].toStdString();
        EXPECT_NEAR(seconds[1], 2.0, 0.1) << names[i].toStdString();
        EXPECT_GT(seconds[2], 0.8) << names[i].toStdString();
        EXPECT_LT(seconds[2], stoppedAfter + 1.0) << names[i].toStdString();
    }
    EXPECT_EQ(finished.size(), files) << finished.join(u'\n').toStdString();
    EXPECT_EQ(recording.size(), files) << recording.join(u'\n').toStdString();
}

}  // namespace
}  // namespace wavelot::test
