// Recordings in the station's own format against the tests' own ICY server: each song's file
// holds the station's packets copied into the codec's container, tagged, split at the packet
// boundary nearest its title, and the files together hold every packet of the span once. And the
// copy feed behind a decoder fed from memory, for a chain link that begins inside a file.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "core/settings_keys.h"
#include "engine/audio/copy_feed.h"
#include "engine/audio/decoder.h"
#include "engine/audio/time_shift.h"
#include "tests/engine/recording_fixture.h"
#include "tests/support/station_sound.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

// Seconds of noise (no two packets alike) in the codec's own stream format, made by ffmpeg; title:
// the song's Vorbis comment, for an Ogg chain link.
QByteArray Noise(const QString& codec, const QString& format, double seconds, int seed,
                 const QString& title = {}, int channels = 2) {
    QStringList args{
        u"-nostdin"_s,
        u"-loglevel"_s,
        u"error"_s,
        u"-f"_s,
        u"lavfi"_s,
        u"-i"_s,
        u"anoisesrc=color=pink:amplitude=0.3:seed=%1:duration=%2:sample_rate=48000"_s.arg(seed).arg(seconds),
        u"-ac"_s,
        QString::number(channels),
        u"-c:a"_s,
        codec,
        u"-b:a"_s,
        u"128k"_s};
    if (!title.isEmpty())
        args << u"-metadata"_s << u"artist=Own"_s << u"-metadata"_s << u"title="_s + title;
    QProcess ff;
    ff.start(u"ffmpeg"_s, args << u"-f"_s << format << u"-"_s);
    return ff.waitForFinished(60000) && ff.exitCode() == 0 ? ff.readAllStandardOutput() : QByteArray();
}

// What ffprobe reads of a file: its codec, its tags (the container's and the stream's), and each
// packet's digest with the seconds of all packets together.
struct Probed {
    QString codec;
    QVariantMap tags;
    QStringList packets;
    double seconds = 0;
};

Probed Probe(const QString& file) {
    QProcess p;
    p.start(u"ffprobe"_s,
            {u"-v"_s, u"error"_s, u"-of"_s, u"json"_s, u"-select_streams"_s, u"a:0"_s, u"-show_packets"_s,
             u"-show_data_hash"_s, u"MD5"_s, u"-show_entries"_s,
             u"packet=pts_time,duration_time,data_hash:format_tags:stream=codec_name:stream_tags"_s, file});
    p.waitForFinished(20000);
    const QJsonObject all = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QJsonObject stream = all[u"streams"_s].toArray().first().toObject();
    Probed out{stream[u"codec_name"_s].toString()};
    for (const QJsonObject& tags :
         {stream[u"tags"_s].toObject(), all[u"format"_s].toObject()[u"tags"_s].toObject()})
        for (auto it = tags.begin(); it != tags.end(); ++it)
            out.tags.insert(it.key().toLower(), it.value().toVariant());
    for (const QJsonValue& packet : all[u"packets"_s].toArray()) {
        // A chain link's header packets come out with a time but no duration: they are no sound.
        if (!packet.toObject().contains(u"duration_time"_s) && packet.toObject().contains(u"pts_time"_s))
            continue;
        out.packets.append(packet[u"data_hash"_s].toString());
        out.seconds += packet[u"duration_time"_s].toString().toDouble();
    }
    return out;
}

// One station recorded by a player and recorder of its own on the silent output, so that every
// codec's station runs at once.
struct Station {
    Station(const QString& settingFile, StreamEngine& audio, const RecordOptions& options,
            const QString& program, const QString& fallback)
        : player(settingFile, audio, lines), recorder(player, audio, options, program, fallback) {
        player.SetBackground();
        player.SetFadeTimes(0, 0);
    }
    clsSongArray lines;
    Player player;
    Recorder recorder;
    QList<quint64> titleFrames;
    QStringList files;
};

class OwnFormatTest : public RecordingTest {
protected:
    IcyServer icy_;
};

TEST_F(OwnFormatTest, EachSongIsTheStationsOwnPacketsSplitAtTheNearestBoundary) {
    struct Case {
        QString codec, format, contentType, extension, probed;
        double packet;  // the longest packet's sound in seconds
    };
    const Case cases[] = {
        {u"libmp3lame"_s, u"mp3"_s, u"audio/mpeg"_s, u".mp3"_s, u"mp3"_s, 1152 / 48000.0},
        {u"aac"_s, u"adts"_s, u"audio/aac"_s, u".m4a"_s, u"aac"_s, 1024 / 48000.0},
        {u"libopus"_s, u"opus"_s, u"audio/ogg"_s, u".opus"_s, u"opus"_s, 960 / 48000.0},
        {u"libvorbis"_s, u"ogg"_s, u"audio/ogg"_s, u".ogg"_s, u"vorbis"_s, 1024 / 48000.0},
    };
    options_.quality = settings::kQualityOwnFormat;
    std::vector<std::unique_ptr<Station>> stations;
    QStringList sources;
    for (const Case& c : cases) {
        // An Ogg station names its songs in the comments of each song's chain link; the others in
        // ICY metadata, here near 0.5 s, 1.5 s and 2.5 s into the stream at 16000 bytes a second.
        const bool chained = c.format != u"mp3"_s && c.format != u"adts"_s;
        const QByteArray bytes = chained ? Noise(c.codec, c.format, 1.5, 1, u"Song A"_s) +
                                               Noise(c.codec, c.format, 1, 2, u"Song B"_s) +
                                               Noise(c.codec, c.format, 9.5, 3, u"Song C"_s)
                                         : Noise(c.codec, c.format, 12, 1);
        ASSERT_GT(bytes.size(), 100000) << "ffmpeg must make " << c.codec.toStdString();
        sources.append(QString::fromStdString(
            WriteBytes(dir_.path().toStdString() + "/noise." + c.format.toStdString(), bytes)));
        IcyServer::Stream s;
        s.head = "ICY 200 OK\r\nicy-name:" + c.format.toStdString() +
                 (chained ? "" : "\r\nicy-metaint:8000") + "\r\ncontent-type:" + c.contentType.toStdString() +
                 "\r\n";
        s.metaint = chained ? 0 : 8000;
        s.burstBytes = 8000;
        s.audioFile = sources.back().toStdString();
        if (!chained)
            s.titles = {{8000, "StreamTitle='Song A';"},
                        {24000, "StreamTitle='Song B';"},
                        {40000, "StreamTitle='Song C';"}};
        icy_.SetStream("/" + c.format.toStdString(), s);
        auto& st = *stations.emplace_back(std::make_unique<Station>(settingFile_, audio_, options_, program_,
                                                                    dir_.filePath(u"default/"_s)));
        QObject::connect(&st.player, &Player::titleChanged, [&st, chained, this] {
            quint64 sample = 0;
            audio_.ChannelGetTags(st.player.Current(), chained ? audio::TAG_OGG : audio::TAG_META, &sample);
            st.titleFrames.append(sample);
        });
        QObject::connect(&st.recorder, &Recorder::fileStarted,
                         [&st](const QString& f) { st.files.append(f); });
        st.player.PlayRadio(QString::fromStdString(icy_.Url("/" + c.format.toStdString())), c.format, 0);
    }
    const auto all = [&](const std::function<bool(Station&)>& pred) {
        return WaitUntil(
            [&] { return std::all_of(stations.begin(), stations.end(), [&](auto& s) { return pred(*s); }); },
            20000);
    };
    // Each recording begins during its first song and ends a second into its third.
    ASSERT_TRUE(all([](Station& s) {
        if (s.player.SongTitle().endsWith(u"Song A"_s) && !s.recorder.IsRecording() && s.files.isEmpty())
            s.recorder.ToggleRecording();
        return !s.files.isEmpty();
    }));
    ASSERT_TRUE(all([&](Station& s) {
        const bool done =
            s.titleFrames.size() == 3 &&
            audio_.ChannelGetSample(s.player.Current(), audio::SAMPLE_DECODED) > s.titleFrames[2] + 44100;
        if (done && s.recorder.IsRecording())
            s.recorder.ToggleRecording();
        return done;
    }));
    ASSERT_TRUE(all([](Station& s) { return s.recorder.UnfinishedFiles() == 0; }));
    for (auto& s : stations)
        s->player.StopRadio();

    for (size_t k = 0; k < stations.size(); ++k) {
        const Case& c = cases[k];
        const Station& s = *stations[k];
        SCOPED_TRACE(c.extension.toStdString());
        ASSERT_EQ(s.files.size(), 3);
        QStringList packets;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(s.files[i].endsWith(c.extension)) << s.files[i].toStdString();
            const Probed f = Probe(s.files[i]);
            EXPECT_EQ(f.codec, c.probed) << i;
            EXPECT_EQ(f.tags[u"title"_s].toString(), u"Song "_s + QChar(u'A' + i)) << i;
            EXPECT_EQ(f.tags[u"album"_s].toString(), c.format) << i;
            packets += f.packets;
            if (i == 1) {
                // The middle song spans its two titles to the nearest packet boundary at each end.
                const double span = double(s.titleFrames[2] - s.titleFrames[1]) / 44100;
                EXPECT_NEAR(f.seconds, span, c.packet) << "B holds its song, split at the nearest packets";
            }
        }
        // The files together are one unbroken run of the packets the station sent: none lost,
        // none twice.
        // ADTS packets carry a header of their own that MP4 leaves out: the station's AAC is
        // compared as ffmpeg's own remux holds it.
        QString source = sources[int(k)];
        if (c.format == u"adts"_s) {
            const QString m4a = source + u".m4a"_s;
            ASSERT_EQ(QProcess::execute(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-i"_s, source, u"-c"_s,
                                                      u"copy"_s, m4a}),
                      0);
            source = m4a;
        }
        const QStringList sent = Probe(source).packets;
        const qsizetype first = sent.indexOf(packets.value(0));
        ASSERT_GE(first, 0) << "the first packet recorded is one the station sent";
        EXPECT_EQ(sent.mid(first, packets.size()), packets);
    }
}

// Decodes as the stream does, handing the packets to the log and marking each with its first
// frame, and, given a buffer, keeping the input there with the same marks.
struct CopyHost final : audio::DecoderHost {
    CopyHost(QByteArray in, audio::PacketLog& log, audio::TimeShiftBuffer* buffer = nullptr)
        : input(std::move(in)), log(log), buffer(buffer) {}
    size_t ReadInput(char* out, size_t max) override {
        const size_t n = std::min<size_t>(max, size_t(input.size()) - pos);
        std::memcpy(out, input.constData() + pos, n);
        if (buffer)
            buffer->Append(out, n);
        pos += n;
        return n;
    }
    bool Aborted() const override { return false; }
    void OnFormat(const audio::SourceFormat&) override {}
    void OnTags(quint32, const QByteArray&, bool, qint64) override {}
    bool OnPcm(float*, size_t count, qint64 sourcePos, size_t lead) override {
        log.Mark(sourcePos, decoded + lead);
        if (buffer)
            buffer->Mark(sourcePos, decoded + lead);
        marks.push_back({sourcePos, decoded + lead});
        decoded += count;
        return true;
    }
    void OnPacket(const uint8_t* data, size_t size, qint64 pos, int64_t d) override {
        log.Add(data, size, pos, d);
    }
    void OnCodec(const AVCodecParameters& par, int num, int den) override { log.SetCodec(par, num, den); }
    QByteArray input;
    size_t pos = 0;
    audio::PacketLog& log;
    audio::TimeShiftBuffer* buffer;
    quint64 decoded = 0;
    std::vector<audio::TimeShiftBuffer::Point> marks;
};

TEST(CopyFeedTest, AFileBegunBeforeTheLogBeginsWithTheBuffersPacketsAndGoesOnFromTheLog) {
    const QByteArray station = Noise(u"libmp3lame"_s, u"mp3"_s, 12, 1);
    QTemporaryDir dir;
    const QString copy = dir.filePath(u"copy.mp3"_s);
    // The log keeps the last 3 s, the buffer the whole 12 s.
    auto log = std::make_shared<audio::PacketLog>(48000 * 3, 48000);
    auto buffer = std::make_shared<audio::TimeShiftBuffer>(1 << 20);
    CopyHost host(station, *log, buffer.get());
    ASSERT_TRUE(audio::Decoder(host, 48000).Run("audio/mpeg", {}, 0));
    // The song began 8 s before the end: 5 s before the log's oldest packet.
    const audio::TimeShiftBuffer::Point song = host.marks[host.marks.size() / 3];
    ASSERT_LT(song.frame + 48000 * 4, log->MarkedEnd() - 48000 * 3);
    {
        audio::CopyFeed feed(log, 0, std::make_shared<audio::BufferPackets>(buffer, "audio/mpeg"));
        feed.Switch(1, copy, song.frame);
        ASSERT_TRUE(feed.Stop(1));
        log->End();
    }
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // The station's frames byte for byte, each once: from the song's first to the one the stop
    // came at.
    const QByteArray sent = station.mid(song.pos, host.marks.back().pos - song.pos);
    const QByteArray copied = file.readAll();
    EXPECT_EQ(copied.size(), sent.size());
    EXPECT_TRUE(copied == sent);
}

TEST(CopyFeedTest, AFileBegunAfterTheWriterIdledPastTheLogIsNotReportedStalled) {
    auto log = std::make_shared<audio::PacketLog>(1000, 48000);
    AVCodecParameters* par = avcodec_parameters_alloc();
    par->codec_id = AV_CODEC_ID_MP3;
    log->SetCodec(*par, 1, 48000);
    avcodec_parameters_free(&par);
    quint64 frame = 0;
    const auto add = [&](int packets) {
        for (int i = 0; i < packets; ++i, frame += 100) {
            log->Add(reinterpret_cast<const uint8_t*>("pkt"), 3, qint64(frame), 100);
            log->Mark(qint64(frame), frame);
        }
    };
    QTemporaryDir dir;
    QList<quint32> kinds;
    audio::CopyFeed feed(log, 0);
    add(5);
    feed.Switch(1, dir.filePath(u"a.mp3"_s), 0);
    ASSERT_TRUE(feed.Stop(1));
    add(1);
    ASSERT_TRUE(WaitUntil([&] { return feed.Idle(); }, 5000));
    // The idle writer is left behind by the log; a new file begins just then.
    add(50);
    feed.Switch(2, dir.filePath(u"b.mp3"_s), frame - 500);
    ASSERT_TRUE(feed.SetNotify(2, [&kinds](quint32 kind) { kinds.append(kind); }));
    add(5);
    ASSERT_TRUE(feed.Stop(2));
    log->End();
    ASSERT_TRUE(WaitUntil([&] { return feed.Idle(); }, 5000));
    EXPECT_EQ(kinds, QList<quint32>{audio::ENCODE_NOTIFY_FREE});
}

TEST(CopyFeedTest, AChainLinkBeginningMidFileBeginsALinkOfTheFilesChain) {
    // A stereo link, then a mono one: the mono packets decode only with their own link's headers.
    const QByteArray station =
        Noise(u"libvorbis"_s, u"ogg"_s, 2, 1) + Noise(u"libvorbis"_s, u"ogg"_s, 2, 2, {}, 1);
    QTemporaryDir dir;
    const QString copy = dir.filePath(u"copy.ogg"_s);
    auto log = std::make_shared<audio::PacketLog>(48000 * 60, 48000);
    {
        audio::CopyFeed feed(log, 0);
        feed.Switch(1, copy, 0);
        CopyHost host(station, *log);
        ASSERT_TRUE(audio::Decoder(host, 48000).Run("application/ogg", {}, 0));
        log->End();
    }
    QProcess probe;
    probe.start(u"ffprobe"_s,
                {u"-v"_s, u"error"_s, u"-of"_s, u"csv=p=0"_s, u"-show_entries"_s, u"frame=channels"_s, copy});
    ASSERT_TRUE(probe.waitForFinished(20000));
    EXPECT_EQ(probe.readAllStandardError(), QByteArray());
    // Each frame as its link made it: the stereo link's two seconds, then the mono link's (each at
    // least 45 frames of at most 2048 samples).
    const QStringList channels =
        QString::fromLatin1(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_GE(channels.count(u"2"_s), 45);
    EXPECT_GE(channels.count(u"1"_s), 45);
    EXPECT_EQ(channels.indexOf(u"1"_s), channels.count(u"2"_s));
}

}  // namespace
}  // namespace wavelot::test
