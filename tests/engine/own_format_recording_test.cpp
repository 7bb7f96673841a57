// Recordings in the station's own format against the tests' own ICY server: each song's file
// holds the station's packets copied into the codec's container, tagged, split at the packet
// boundary nearest its title, and the files together hold the span recorded.
#include <QProcess>

#include "core/settings_keys.h"
#include "tests/engine/recording_fixture.h"
#include "tests/support/mp3_probe.h"
#include "tests/support/station_sound.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

// Three tones of 3 s each in the codec's own stream format, made by ffmpeg.
QByteArray Songs(const QString& codec, const QString& format) {
    QProcess ff;
    ff.start(u"ffmpeg"_s, {u"-nostdin"_s,
                           u"-loglevel"_s,
                           u"error"_s,
                           u"-f"_s,
                           u"lavfi"_s,
                           u"-i"_s,
                           u"sine=frequency=440:sample_rate=48000:duration=3"_s,
                           u"-f"_s,
                           u"lavfi"_s,
                           u"-i"_s,
                           u"sine=frequency=1000:sample_rate=48000:duration=3"_s,
                           u"-f"_s,
                           u"lavfi"_s,
                           u"-i"_s,
                           u"sine=frequency=2500:sample_rate=48000:duration=12"_s,
                           u"-filter_complex"_s,
                           u"concat=n=3:v=0:a=1"_s,
                           u"-ac"_s,
                           u"2"_s,
                           u"-c:a"_s,
                           codec,
                           u"-b:a"_s,
                           u"128k"_s,
                           u"-f"_s,
                           format,
                           u"-"_s});
    return ff.waitForFinished(60000) && ff.exitCode() == 0 ? ff.readAllStandardOutput() : QByteArray();
}

class OwnFormatTest : public RecordingTest {
protected:
    IcyServer icy_;
};

TEST_F(OwnFormatTest, EachSongIsTheStationsOwnPacketsSplitAtTheNearestBoundary) {
    struct Case {
        QString codec, format, contentType, extension, probed;
        double packet;  // one packet's sound at the output rate
    };
    const Case cases[] = {
        {u"libmp3lame"_s, u"mp3"_s, u"audio/mpeg"_s, u".mp3"_s, u"mp3"_s, 1152 * 44100.0 / 48000},
        {u"aac"_s, u"adts"_s, u"audio/aac"_s, u".m4a"_s, u"aac"_s, 1024 * 44100.0 / 48000},
    };
    options_.quality = settings::kQualityOwnFormat;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension.toStdString());
        const QByteArray bytes = Songs(c.codec, c.format);
        ASSERT_GT(bytes.size(), 100000) << "ffmpeg must be installed";
        IcyServer::Stream s;
        s.head =
            "ICY 200 OK\r\nicy-name:Own\r\nicy-metaint:8000\r\ncontent-type:" + c.contentType.toStdString() +
            "\r\n";
        s.metaint = 8000;
        s.audioFile = WriteBytes(dir_.path().toStdString() + "/songs" + c.format.toStdString(), bytes);
        // 16000 bytes a second: the titles stand near 3 s and 6 s into the stream.
        s.titles = {{8000, "StreamTitle='Song A';"},
                    {48000, "StreamTitle='Song B';"},
                    {96000, "StreamTitle='Song C';"}};
        icy_.SetStream("/" + c.format.toStdString(), s);
        started_.clear();
        QList<quint64> at;
        auto conn = QObject::connect(player_.get(), &Player::titleChanged, [&] {
            quint64 sample = 0;
            audio_.ChannelGetTags(player_->Current(), audio::TAG_META, &sample);
            at.append(sample);
        });
        PlayAndWait(*player_, QString::fromStdString(icy_.Url("/" + c.format.toStdString())), u"Own"_s, 0);
        ASSERT_TRUE(WaitUntil([&] { return player_->SongTitle() == u"Song A"_s; }, 10000));
        recorder_->ToggleRecording();
        const auto sample = [&](quint32 which) { return audio_.ChannelGetSample(player_->Current(), which); };
        ASSERT_TRUE(WaitUntil([&] { return at.size() == 3 && sample(audio::SAMPLE_DECODED) > at[2] + 44100; },
                              20000));
        recorder_->ToggleRecording();
        Finish();
        QObject::disconnect(conn);
        StopAndWait(*player_);

        ASSERT_EQ(started_.size(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(started_[i].endsWith(c.extension)) << started_[i].toStdString();
            const AudioFacts f = ProbeAudio(started_[i]);
            EXPECT_EQ(f.codec, c.probed) << i;
            EXPECT_EQ(f.tags[u"title"_s].toString(), u"Song "_s + QChar(u'A' + i)) << i;
            EXPECT_EQ(f.tags[u"album"_s].toString(), u"Own"_s) << i;
        }
        // The middle song spans its two titles to the nearest packet boundary at each end.
        const double b = double(MonoSound(started_[1]).size());
        EXPECT_NEAR(b, double(at[2] - at[1]), c.packet) << "B holds its song, split at the nearest packets";
    }
}

}  // namespace
}  // namespace wavelot::test
