// The player against a real Icecast server: connect details, titles, cross-fade, stop,
// volume, equalizer, failed connects and drops.
#include <QTimer>

#include <cmath>
#include <vector>

#include "engine/eq_presets.h"
#include "tests/engine/player_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/icecast_rig.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

// One server for the program, stopped with it (a leaked rig would leave icecast2 running).
IcecastRig& Ice() {
    static IcecastRig rig;
    static const bool started = [] {
        if (!rig.Start())
            return false;
        IcecastRig::Source a;
        a.mount = "/a.mp3";
        rig.StartSource(a);
        IcecastRig::Source b;
        b.mount = "/b.mp3";
        b.frequency = 1000;
        b.name = "Second FM";
        b.genre = "";
        b.description = "Talk radio";
        rig.StartSource(b);
        IcecastRig::Source v;
        v.mount = "/v.ogg";
        v.codec = IcecastRig::Codec::Vorbis;
        v.name = "Vorbis FM";
        v.channels = 1;
        rig.StartSource(v);
        return true;
    }();
    (void)started;
    return rig;
}

QString Url(const std::string& mount) {
    return QString::fromStdString(Ice().Url(mount));
}

class IcecastPlayerTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        ASSERT_TRUE(Ice().Port() > 0) << Ice().Error();
    }
};

TEST_F(IcecastPlayerTest, ConnectLogsTheHeaderDetailsAndStoresTheStation) {
    PlayAndWait(*player_, Url("/a.mp3"), u"My Name"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    EXPECT_EQ(player_->PlaybackState(), Player::State::Playing);
    EXPECT_EQ(player_->DisplayName(), u"Test FM"_s);
    EXPECT_EQ(player_->StationName(), u"My Name"_s);

    const QStringList lines = Untimed(LogLines(log_));
    ASSERT_GE(lines.size(), 15) << lines.join(u'\n').toStdString();
    const QStringList head = lines.mid(0, 15);
    const QStringList expected = {QString(),
                                  u"T: 連線至 My Name"_s,
                                  u"T: 連線成功，開始播放 Test FM"_s,
                                  QString(),
                                  u"電台名稱: Test FM"_s,
                                  u"電台曲風: Jazz"_s,
                                  u"電台網址: http://example.invalid/"_s,
                                  head.value(7),  // server: checked below
                                  u"資料傳輸: 16000"_s,
                                  u"壓縮頻率: 128 Kbps"_s,
                                  u"輸出頻率: 44100 Hz"_s,
                                  u"電台聲道: 立體聲"_s,
                                  u"串流類型: MPEG-1 Audio Layer 3 Audio Streams"_s,
                                  QString(),
                                  u"T: My Name"_s};
    EXPECT_EQ(head, expected) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(head.value(7).startsWith(u"主機類型: Icecast"_s)) << head.value(7).toStdString();
    // With no title set yet, the title is the station's own name, logged once.
    EXPECT_EQ(player_->SongTitle(), u"My Name"_s);

    EXPECT_EQ(Setting(settings::kSongUrl), Url("/a.mp3"));
    EXPECT_EQ(Setting(settings::kSongName), u"My Name"_s);
    EXPECT_EQ(Setting(settings::kSongCode), u"0"_s);
}

TEST_F(IcecastPlayerTest, GenreFallsBackToTheDescription) {
    PlayAndWait(*player_, Url("/b.mp3"), u"B"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    EXPECT_TRUE(LogLines(log_).contains(u"電台曲風: Talk radio"_s));
    EXPECT_TRUE(LogLines(log_).contains(u"電台名稱: Second FM"_s));
}

TEST_F(IcecastPlayerTest, OggStreamShowsItsRateWithoutUnitAndComposesTitles) {
    PlayAndWait(*player_, Url("/v.ogg"), u"Ogg"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    const QStringList lines = LogLines(log_);
    EXPECT_TRUE(lines.contains(u"壓縮頻率: 128"_s)) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.contains(u"串流類型: Ogg Vorbis Audio Streams"_s));
    EXPECT_TRUE(lines.contains(u"電台聲道: 單聲道"_s));

    // Icecast puts the admin title into a new chain link's "title" comment.
    ASSERT_TRUE(Ice().SetTitle("/v.ogg", "AC/DC: Live?"));
    // The window polls the title on its song timer; do the same.
    ASSERT_TRUE(WaitUntil(
        [&] {
            player_->UpdateSongTitle(player_->StationCode());
            return player_->SongTitle().contains(u"Live"_s);
        },
        15000))
        << player_->SongTitle().toStdString();
    // Only a title comment: the composition leaves "- " in front, and the title is cleaned for
    // use as a file name.
    EXPECT_EQ(player_->SongTitle(), u"- ACDC Live"_s);
    EXPECT_EQ(CountLinesEndingWith(player_->SongTitle()), 1);
}

TEST_F(IcecastPlayerTest, EachTitleChangeIsLoggedOnce) {
    QStringList titles;
    QStringList tips;
    QObject::connect(player_.get(), &Player::titleChanged, [&](const QString& t) { titles << t; });
    QObject::connect(player_.get(), &Player::iconTipChanged, [&](const QString& t) { tips << t; });
    PlayAndWait(*player_, Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(player_->IsConnected());

    const auto waitTitle = [&](const QString& t) {
        return WaitUntil(
            [&] {
                player_->UpdateSongTitle(player_->StationCode());  // the song timer's poll
                return player_->SongTitle() == t;
            },
            15000);
    };
    ASSERT_TRUE(Ice().SetTitle("/a.mp3", "Artist - One"));
    ASSERT_TRUE(waitTitle(u"Artist - One"_s)) << player_->SongTitle().toStdString();
    ASSERT_TRUE(Ice().SetTitle("/a.mp3", "Artist - Two"));
    ASSERT_TRUE(waitTitle(u"Artist - Two"_s));
    ASSERT_TRUE(Ice().SetTitle("/a.mp3", "Artist - One"));
    ASSERT_TRUE(waitTitle(u"Artist - One"_s));
    for (int i = 0; i < 20; ++i)
        player_->UpdateSongTitle(player_->StationCode());

    EXPECT_EQ(CountLinesEndingWith(u": Artist - One"_s), 2);
    EXPECT_EQ(CountLinesEndingWith(u": Artist - Two"_s), 1);
    EXPECT_EQ(player_->LastTitle(), u"Artist - One"_s);
    EXPECT_EQ(titles.mid(titles.size() - 3),
              (QStringList{u"Artist - One"_s, u"Artist - Two"_s, u"Artist - One"_s}));
    EXPECT_EQ(tips.last(), u"Wavelot\r\nArtist - One"_s);
}

TEST_F(IcecastPlayerTest, ReconnectingToAnUnchangedTitleLogsNoTitleLine) {
    PlayAndWait(*player_, Url("/b.mp3"), u"B"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    const int before = CountLinesEndingWith(u": "_s + player_->SongTitle());
    PlayAndWait(*player_, Url("/b.mp3"), u"B"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    EXPECT_EQ(CountLinesEndingWith(u": "_s + player_->SongTitle()), before);
}

TEST_F(IcecastPlayerTest, FailedConnectKeepsTheOldStreamAndStillStoresTheStation) {
    PlayAndWait(*player_, Url("/a.mp3"), u"Good"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    const audio::StreamHandle good = player_->Current();

    const QString bad = u"http://127.0.0.1:%1/nothing.mp3"_s.arg(FreeLoopbackPort());
    PlayAndWait(*player_, bad, u"Bad Station"_s, 4);
    EXPECT_FALSE(player_->IsConnected());
    EXPECT_EQ(player_->Current(), good);
    EXPECT_TRUE(IsPlaying(good));
    EXPECT_EQ(Untimed(LogLines(log_)).mid(log_.ListCount() - 3),
              (QStringList{QString(), u"T: 連線至 Bad Station"_s, u"T: 錯誤！無法連線至 Bad Station"_s}));
    EXPECT_EQ(Setting(settings::kSongUrl), bad);
    EXPECT_EQ(Setting(settings::kSongName), u"Bad Station"_s);
    EXPECT_EQ(Setting(settings::kSongCode), u"4"_s);
    // The old stream is not armed for a reconnect any more: it reads as playing, not connected.
    EXPECT_EQ(player_->PlaybackState(), Player::State::Playing);
}

TEST_F(IcecastPlayerTest, MissingMountFailsLikeADeadHost) {
    PlayAndWait(*player_, Url("/missing.mp3"), u"Gone"_s, 2);
    EXPECT_FALSE(player_->IsConnected());
    EXPECT_EQ(player_->PlaybackState(), Player::State::Idle);
    EXPECT_TRUE(LogLines(log_).last().endsWith(u"錯誤！無法連線至 Gone"_s));
    EXPECT_EQ(Setting(settings::kSongCode), u"2"_s);
}

TEST_F(IcecastPlayerTest, CrossFadeOverlapsForASecondThenFreesTheOldStream) {
    PlayAndWait(*player_, Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    const audio::StreamHandle oldStream = player_->Current();
    EXPECT_NEAR(Volume(oldStream), 0.8f, 0.01f);

    // Sample both volumes while the second connect fades (timers run inside its waits).
    struct Sample {
        qint64 ms;
        float oldVol;
        float newVol;
    };
    std::vector<Sample> samples;
    QElapsedTimer clock;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const audio::StreamHandle cur = player_->Current();
        if (cur == oldStream)
            return;  // still connecting
        if (!clock.isValid())
            clock.start();
        samples.push_back({clock.elapsed(), Volume(oldStream), Volume(cur)});
    });
    probe.start();
    PlayAndWait(*player_, Url("/b.mp3"), u"B"_s, 0);
    probe.stop();
    ASSERT_TRUE(player_->IsConnected());
    const audio::StreamHandle newStream = player_->Current();
    ASSERT_NE(newStream, oldStream);
    EXPECT_EQ(player_->Previous(), oldStream);

    ASSERT_GE(samples.size(), 20u);
    bool sawBoth = false;
    for (const Sample& s : samples) {
        if (s.ms > 300 && s.ms < 700) {
            sawBoth = sawBoth || (s.oldVol > 0.15f && s.newVol > 0.15f);
            EXPECT_LT(s.oldVol, 0.8f);
            EXPECT_GT(s.newVol, 0.0f);
        }
    }
    EXPECT_TRUE(sawBoth);
    EXPECT_GE(samples.back().ms, 900);
    // The old stream is gone, the new one plays at the stored volume.
    EXPECT_EQ(audio_.ChannelIsActive(oldStream), audio::ACTIVE_STOPPED);
    EXPECT_TRUE(WaitUntil([&] { return std::fabs(Volume(newStream) - 0.8f) < 0.01f; }, 500));
}

TEST_F(IcecastPlayerTest, MutedConnectStaysSilentWhileTheOldStreamFadesOut) {
    PlayAndWait(*player_, Url("/a.mp3"), u"A"_s, 0);
    const audio::StreamHandle oldStream = player_->Current();
    player_->SetMuted(true);
    PlayAndWait(*player_, Url("/b.mp3"), u"B"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    EXPECT_EQ(Volume(player_->Current()), 0.0f);
    EXPECT_EQ(audio_.ChannelIsActive(oldStream), audio::ACTIVE_STOPPED);
    // Unmuting is the caller's SetVolume with the slider value.
    player_->SetMuted(false);
    player_->SetVolume(40);
    EXPECT_TRUE(WaitUntil([&] { return std::fabs(Volume(player_->Current()) - 0.4f) < 0.01f; }, 2000));
}

TEST_F(IcecastPlayerTest, StopFadesOutFreesAndResetsTheTip) {
    QStringList tips;
    QObject::connect(player_.get(), &Player::iconTipChanged, [&](const QString& t) { tips << t; });
    PlayAndWait(*player_, Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    const audio::StreamHandle h = player_->Current();

    std::vector<float> vols;
    QTimer probe;
    probe.setInterval(25);
    QObject::connect(&probe, &QTimer::timeout, [&] { vols.push_back(Volume(h)); });
    probe.start();
    QElapsedTimer t;
    t.start();
    StopAndWait(*player_);
    probe.stop();
    EXPECT_GE(t.elapsed(), 450);
    ASSERT_GE(vols.size(), 8u);
    EXPECT_LT(vols.back(), 0.2f);
    for (size_t i = 1; i < vols.size(); ++i) {
        if (vols[i] >= 0) {
            EXPECT_LE(vols[i], vols[i - 1] + 1e-3f);
        }
    }
    EXPECT_EQ(audio_.ChannelIsActive(h), audio::ACTIVE_STOPPED);
    EXPECT_FALSE(player_->IsConnected());
    EXPECT_EQ(player_->PlaybackState(), Player::State::Idle);
    EXPECT_EQ(Untimed(LogLines(log_)).last(), u"T: 停止播放"_s);
    EXPECT_EQ(tips.last(), u"Wavelot"_s);

    // A second stop finds nothing playing: no line, no tip.
    const int lines = log_.ListCount();
    const qsizetype tipCount = tips.size();
    StopAndWait(*player_);
    EXPECT_EQ(log_.ListCount(), lines);
    EXPECT_EQ(tips.size(), tipCount);
}

TEST_F(IcecastPlayerTest, SetVolumeClampsStoresAndGlides) {
    PlayAndWait(*player_, Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    player_->SetVolume(150);
    EXPECT_EQ(Setting(settings::kSavedVolume), u"100"_s);
    EXPECT_EQ(player_->VolumeLevel(), 11);
    EXPECT_TRUE(WaitUntil([&] { return Volume(player_->Current()) > 0.99f; }, 2000));
    player_->SetVolume(-5);
    EXPECT_EQ(Setting(settings::kSavedVolume), u"0"_s);
    EXPECT_EQ(player_->VolumeLevel(), 1);
    EXPECT_TRUE(WaitUntil([&] { return Volume(player_->Current()) < 0.01f; }, 2000));
    for (const auto& [value, level] :
         std::vector<std::pair<int, int>>{{1, 2}, {10, 2}, {11, 3}, {55, 7}, {91, 11}}) {
        player_->SetVolume(value);
        EXPECT_EQ(player_->VolumeLevel(), level) << value;
    }
    // Muted: the value is stored, the stream glides to silence.
    player_->SetMuted(true);
    player_->SetVolume(70);
    EXPECT_EQ(Setting(settings::kSavedVolume), u"70"_s);
    EXPECT_TRUE(WaitUntil([&] { return Volume(player_->Current()) < 0.01f; }, 2000));
}

TEST_F(IcecastPlayerTest, EqualizerPresetIsAppliedToEachNewStream) {
    WriteIni(settings::kSectionSetting, settings::kIndexEQ, 3, settingFile_);
    PlayAndWait(*player_, Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    EXPECT_EQ(player_->IndexEQ(), 3);
    const auto gains = ParseEqGains(QString::fromUtf8(FindEqPreset(3)->gains));
    for (int i = 0; i < kEqBandCount; ++i) {
        audio::DX8ParamEq p;
        ASSERT_TRUE(audio_.FXGetParameters(player_->EqFx()[i], &p)) << i;
        EXPECT_FLOAT_EQ(p.fGain, gains[i]) << i;
        EXPECT_FLOAT_EQ(p.fBandwidth, 12.0f);
    }
    // Choosing it again replaces the ten bands instead of stacking them.
    const auto first = player_->EqFx();
    player_->SetEqPreset(3);
    for (int i = 0; i < kEqBandCount; ++i) {
        audio::DX8ParamEq p;
        EXPECT_FALSE(audio_.FXGetParameters(first[i], &p)) << i;
    }
    // Off removes them and is stored.
    player_->SetEqPreset(kEqOff);
    for (int i = 0; i < kEqBandCount; ++i) {
        audio::DX8ParamEq p;
        EXPECT_FALSE(audio_.FXGetParameters(player_->EqFx()[i], &p)) << i;
    }
    EXPECT_EQ(Setting(settings::kIndexEQ), u"1"_s);
}

TEST_F(IcecastPlayerTest, NoPresetChosenAddsNoBandsAndWritesZeroBack) {
    PlayAndWait(*player_, Url("/b.mp3"), u"B"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    for (audio::FxHandle fx : player_->EqFx())
        EXPECT_EQ(fx, 0u);
    EXPECT_EQ(Setting(settings::kIndexEQ), u"0"_s);
}

TEST_F(IcecastPlayerTest, SourceEndingLeavesTheStateDropped) {
    IcecastRig::Source d;
    d.mount = "/drop.mp3";
    ASSERT_TRUE(Ice().StartSource(d)) << Ice().Error();
    int ended = 0;
    QObject::connect(player_.get(), &Player::currentStreamEnded, [&] { ++ended; });
    PlayAndWait(*player_, Url("/drop.mp3"), u"Drop"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    Ice().StopSource("/drop.mp3");
    ASSERT_TRUE(WaitUntil([&] { return player_->PlaybackState() == Player::State::Dropped; }, 30000));
    EXPECT_TRUE(player_->IsConnected());
    EXPECT_TRUE(WaitUntil([&] { return ended == 1; }, 2000));
    // A stop now logs nothing and frees nothing; it ends the wish to have the station back.
    const int lines = log_.ListCount();
    StopAndWait(*player_);
    EXPECT_EQ(log_.ListCount(), lines);
    EXPECT_EQ(player_->PlaybackState(), Player::State::Idle);
}

TEST_F(IcecastPlayerTest, StopDuringTheCrossFadeIsNotUndoneByTheConnect) {
    PlayAndWait(*player_, Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(player_->IsConnected());
    const audio::StreamHandle first = player_->Current();
    bool stopped = false;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!stopped && player_->Current() != first) {
            stopped = true;
            probe.stop();
            player_->StopRadio();
        }
    });
    probe.start();
    PlayAndWait(*player_, Url("/b.mp3"), u"B"_s, 0);
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(player_->IsConnected());
    EXPECT_EQ(player_->PlaybackState(), Player::State::Idle);
    EXPECT_EQ(audio_.ChannelIsActive(first), audio::ACTIVE_STOPPED);
}

}  // namespace
}  // namespace wavelot::test
