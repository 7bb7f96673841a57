// HLS stations: the list reader, and the transport against the tests' live HLS station.
#include "engine/audio/decoder.h"
#include "engine/audio/hls_playlist.h"
#include "engine/audio/transport.h"
#include "tests/support/hls_server.h"
#include "tests/support/station_sound.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <thread>

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {
using audio::HlsPlaylist;

TEST(HlsPlaylistTest, ReadsMasterAndMediaLists) {
    const HlsPlaylist master = audio::ParseHlsPlaylist(
        "#EXTM3U\n#EXT-X-STREAM-INF:CODECS=\"mp4a.40.2,mp4a.40.5\",BANDWIDTH=64000\nlo/a.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=192000\nhttp://o/"
        "hi.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=128000\nmid.m3u8\n",
        "http://h/x/master.m3u8");
    ASSERT_TRUE(master.master);
    ASSERT_EQ(master.variants.size(), 3);
    EXPECT_EQ(master.variants[0].url, "http://h/x/lo/a.m3u8");
    EXPECT_EQ(master.variants[0].codecs, "mp4a.40.2,mp4a.40.5");
    const struct {
        int cap;
        std::vector<qint64> order;
    } caps[] = {{0, {192000, 128000, 64000}}, {130, {128000, 64000, 192000}}, {10, {64000, 128000, 192000}}};
    for (const auto& c : caps) {
        std::vector<qint64> got;
        for (const auto& v : audio::OrderVariants(master.variants, c.cap))
            got.push_back(v.bandwidth);
        EXPECT_EQ(got, c.order) << c.cap;
    }

    const HlsPlaylist media = audio::ParseHlsPlaylist(
        "#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXT-X-MEDIA-SEQUENCE:41\n#EXT-X-MAP:URI=\"init.mp4\"\n"
        "#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\n#EXTINF:6.0,title=\"A - B, live\"\ns1.m4s\n"
        "#EXTINF:5.5,Plain Title\n/abs/s2.m4s\n#EXT-X-DATERANGE:ID=\"x\",X-TITLE=\"Show\"\n#EXT-X-ENDLIST\n",
        "http://h/x/m.m3u8");
    EXPECT_FALSE(media.master);
    EXPECT_EQ(media.targetDuration, 6);
    ASSERT_EQ(media.segments.size(), 2);
    EXPECT_EQ(media.segments[0].sequence, 41);
    EXPECT_EQ(media.segments[1].sequence, 42);
    EXPECT_EQ(media.segments[0].title, "A - B, live");
    EXPECT_EQ(media.segments[1].title, "Plain Title");
    EXPECT_EQ(media.segments[1].url, "http://h/abs/s2.m4s");
    EXPECT_EQ(media.mapUrl, "http://h/x/init.mp4");
    EXPECT_EQ(media.keyMethod, "AES-128");
    EXPECT_EQ(media.dateRangeTitle, "Show");
    EXPECT_TRUE(media.endList);

    // The format a variant's CODECS names: its first audio codec known.
    for (const char* row : {"mp4a.40.2=AAC LC", "avc1.42e01e, MP4A.40.5=HE-AAC",
                            "mp4a.40.29,mp4a.40.2=HE-AACv2", "mp4a.40.34=MP3", "mp3=MP3", "Opus=Opus",
                            "fLaC=FLAC", "ac-3=AC-3", "ec-3=E-AC-3", "avc1.4d401f=", "mp4a.40.2x="}) {
        const QList<QByteArray> cell = QByteArray(row).split('=');
        EXPECT_EQ(audio::HlsCodecsFormat(cell[0]), cell[1]) << row;
    }

    EXPECT_TRUE(audio::IsHlsPlaylist("\xEF\xBB\xBF#EXTM3U\n#EXT-X-VERSION:3\n"));
    EXPECT_FALSE(audio::IsHlsPlaylist("#EXTM3U\n#EXTINF:-1,Radio\nhttp://a/b\n"));
    QByteArray huge = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n";
    for (int i = 0; i < 3 * audio::kHlsMaxItems; ++i)
        huge += "#EXTINF:1,\ns.aac\n";
    EXPECT_EQ(audio::ParseHlsPlaylist(huge, "http://h/").segments.size(), audio::kHlsMaxItems);
}

TEST(HlsPlaylistTest, Id3TitleFromWholeTagsOnly) {
    const QByteArray tag = HlsServer::Id3("Artist \xE4\xB8\xAD", "Song");
    EXPECT_EQ(audio::Id3TagLength(tag.constData(), size_t(tag.size())), size_t(tag.size()));
    EXPECT_EQ(audio::Id3Title(tag.constData(), size_t(tag.size())), "Artist \xE4\xB8\xAD - Song");
    for (qsizetype cut = 0; cut < tag.size(); ++cut)
        EXPECT_EQ(audio::Id3TagLength(tag.constData(), size_t(cut)), 0u) << cut;
    QByteArray lying = tag;
    lying[17] = 0x7f;  // a frame size past the tag's end
    EXPECT_TRUE(audio::Id3Title(lying.constData(), size_t(lying.size())).isEmpty());
}

// Collects what the transport reports and decodes the ring as a stream does: the sound (mono) and
// each title with the frame its sound begins at.
struct Listener : audio::TransportSink, audio::DecoderHost {
    audio::ByteRing ring{1 << 20};
    std::mutex mu;
    std::condition_variable cv;
    bool connected = false, ended = false, failed = false;
    QByteArray type;
    std::vector<float> mono;
    std::deque<std::pair<qint64, QByteArray>> pending;  // input offset, title
    std::vector<std::pair<size_t, QByteArray>> titles;  // frame, title
    std::thread decode{[this] {
        {
            std::unique_lock lock(mu);
            cv.wait(lock, [this] { return connected || ended; });
        }
        audio::Decoder(*this, 44100).Run(type, {}, 5000);
        char buf[4096];
        while (ring.Read(buf, sizeof buf) > 0) {
        }
    }};
    ~Listener() override {
        ring.Abort();
        OnTransportEnd(true);
        decode.join();
    }
    void OnConnected(const audio::HeaderBlock& h) override {
        std::lock_guard lock(mu);
        connected = true;
        type = h.Value("content-type");
        cv.notify_all();
    }
    void OnMeta(const QByteArray& meta) override {
        std::lock_guard lock(mu);
        pending.push_back({qint64(ring.TotalWritten()), meta});
    }
    void OnTransportEnd(bool f) override {
        std::lock_guard lock(mu);
        ended = true;
        failed = f;
        cv.notify_all();
    }
    size_t ReadInput(char* out, size_t max) override { return ring.Read(out, max); }
    bool Aborted() const override { return ring.Aborted(); }
    void OnFormat(const audio::SourceFormat&) override {}
    void OnTags(quint32, const QByteArray&, bool, qint64) override {}
    bool OnPcm(float* frames, size_t count, qint64 pos, size_t lead) override {
        std::lock_guard lock(mu);
        for (; !pending.empty() && pending.front().first <= pos; pending.pop_front())
            titles.push_back({mono.size() + lead, pending.front().second});
        for (size_t i = 0; i < count; ++i)
            mono.push_back((frames[2 * i] + frames[2 * i + 1]) / 2);
        return true;
    }
    bool WaitEnd(int ms) {
        std::unique_lock lock(mu);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ended; });
    }
};

audio::TransportOptions Options(const std::string& url) {
    audio::TransportOptions o;
    o.url = QByteArray::fromStdString(url);
    o.timeoutMs = 1500;
    return o;
}

const std::vector<HlsSong> kSongs = {{"Ann", "One", 440}, {"Bob", "Two", 880}};

// wavelot-cli run from a copy in a temporary folder, whose Setting.ini caps the variant's rate;
// its output lines without their time.
struct PrivateCli {
    QTemporaryDir dir;
    QString exe = dir.filePath(u"wavelot-cli"_s);
    bool Ok() {
        QDir(dir.path()).mkdir(u"Setting"_s);
        QFile ini(dir.filePath(u"Setting/Setting.ini"_s));
        return QFile::copy(qEnvironmentVariable("WAVELOT_BUILD_DIR") + u"/app/wavelot-cli"_s, exe) &&
               ini.open(QIODevice::WriteOnly) && ini.write("[Setting]\r\nHlsMaxKbps=100\r\n") > 0;
    }
    QStringList Run(const QStringList& args) {
        QProcess p;
        p.start(exe, args);
        p.waitForFinished(30000);
        static const QRegularExpression time(u"^\\d\\d:\\d\\d:\\d\\d: "_s);
        QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
        for (QString& l : lines)
            l.remove(time);
        return lines;
    }
};

// The MP3 files under a folder, and a file's sound at 44100 Hz mono.
QStringList Mp3Files(const QString& folder) {
    QStringList files;
    for (QDirIterator it(folder, {u"*.mp3"_s}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    return files;
}

std::vector<float> Mono(const QString& file) {
    QProcess ff;
    ff.start(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-i"_s, file, u"-f"_s, u"f32le"_s, u"-ac"_s, u"1"_s,
                           u"-ar"_s, u"44100"_s, u"-"_s});
    ff.waitForFinished(20000);
    const QByteArray pcm = ff.readAllStandardOutput();
    std::vector<float> x(size_t(pcm.size()) / sizeof(float));
    std::memcpy(x.data(), pcm.constData(), x.size() * sizeof(float));
    return x;
}

TEST(HlsTransportTest, PlayOfTheMasterPrintsConnectLinesAndEveryTitleInOrder) {
    HlsServer server(kSongs, 2);
    ASSERT_TRUE(server.Ok());
    server.Http().Handle("/key.m3u8", [](const HttpRequest&) {
        return HttpResponse::Ok(
            "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\n"
            "#EXTINF:1,\n/seg/1.aac\n",
            "application/vnd.apple.mpegurl");
    });
    PrivateCli cli;
    ASSERT_TRUE(cli.Ok());
    const QStringList out =
        cli.Run({u"play"_s, QString::fromStdString(server.Url()), u"--seconds"_s, u"7"_s});
    const QString all = out.join(u'\n');
    ASSERT_GE(out.size(), 4) << all.toStdString();
    EXPECT_TRUE(out[1].startsWith(u"連線至 "_s)) << all.toStdString();
    EXPECT_TRUE(out[2].startsWith(u"連線成功，開始播放 "_s)) << "the details before any title";
    EXPECT_TRUE(out.contains(u"壓縮頻率: 64 Kbps"_s)) << all.toStdString();
    EXPECT_TRUE(out.contains(u"串流類型: AAC LC"_s)) << all.toStdString();
    // Playing starts three segments before the newest (sequence 2, the second song), two per song.
    QStringList titles;
    for (const QString& line : out)
        if (line.endsWith(u" - One"_s) || line.endsWith(u" - Two"_s))
            titles << line;
    ASSERT_GE(titles.size(), 3) << all.toStdString();
    for (qsizetype i = 0; i < titles.size(); ++i)
        EXPECT_EQ(titles[i], i % 2 == 0 ? u"Bob - Two"_s : u"Ann - One"_s) << all.toStdString();

    const QStringList key =
        cli.Run({u"play"_s, QString::fromStdString(server.Url("/key.m3u8")), u"--seconds"_s, u"3"_s});
    const qsizetype failed =
        key.indexOf(u"錯誤！無法連線至 "_s + QString::fromStdString(server.Url("/key.m3u8")));
    ASSERT_GE(failed, 0) << key.join(u'\n').toStdString();
    EXPECT_EQ(key.value(failed + 1), u"錯誤！此電台的串流已加密，無法播放"_s);
}

TEST(HlsTransportTest, RecordGivesOneFilePerTitleOfThatTitlesToneOnly) {
    HlsServer server(kSongs, 2);
    ASSERT_TRUE(server.Ok());
    PrivateCli cli;
    ASSERT_TRUE(cli.Ok());
    const QString rec = cli.dir.filePath(u"rec"_s);
    cli.Run({u"record"_s, QString::fromStdString(server.Url()), u"--seconds"_s, u"7"_s, u"--dir"_s, rec});
    const QStringList files = Mp3Files(rec);
    ASSERT_GE(files.size(), 3) << files.join(u' ').toStdString();
    for (const QString& file : files) {
        const std::vector<float> x = Mono(file);
        const bool one = QFileInfo(file).fileName().startsWith(u"Ann - One"_s);
        ASSERT_TRUE(one || QFileInfo(file).fileName().startsWith(u"Bob - Two"_s)) << file.toStdString();
        ASSERT_GT(x.size(), 4410u) << file.toStdString();
        // Its own tone all through, the other song's nowhere (a tenth of a second at each end
        // is left for the encoder's edges).
        for (size_t at = 2205; at + 4410 + 2205 <= x.size(); at += 4410) {
            const double mine = ToneLevel(x, at, at + 4410, one ? 440 : 880);
            const double other = ToneLevel(x, at, at + 4410, one ? 880 : 440);
            EXPECT_GT(mine, 20 * other) << file.toStdString() << " at " << at;
        }
    }
}

TEST(HlsTransportTest, AConnectAfterADropContinuesBehindTheLastSegmentFillingTheHole) {
    HlsServer server(kSongs);
    ASSERT_TRUE(server.Ok());
    // The first connect ends when the server goes away; the second comes back 1.5 s later.
    for (int connect = 0; connect < 2; ++connect) {
        Listener l;
        audio::HttpTransport t(Options(server.Url()), l.ring, l);
        t.Start();
        const size_t want = server.Fetched().size() + 4;
        QElapsedTimer clock;
        clock.start();
        while (server.Fetched().size() < want && clock.elapsed() < 8000)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_GE(server.Fetched().size(), want);
        if (connect == 0) {
            server.SetAway(true);
            EXPECT_TRUE(l.WaitEnd(8000));
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            server.SetAway(false);
        }
    }
    const std::vector<qint64> got = server.Fetched();
    for (size_t i = 1; i < got.size(); ++i)
        EXPECT_EQ(got[i], got[i - 1] + 1) << "at " << i;
}

// The server is away past the first reconnect attempt but within its window of segments: the
// recording goes on in a new file behind the last segment, and the files together hold every
// segment fetched exactly once (the list stops growing before the run ends, so all are heard).
TEST(HlsTransportTest, RecordAcrossAnAbsenceHoldsEverySegmentOnce) {
    HlsServer server(kSongs, 3, 1000, 12);
    ASSERT_TRUE(server.Ok());
    PrivateCli cli;
    ASSERT_TRUE(cli.Ok());
    std::thread away([&server] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        server.SetAway(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(4000));
        server.SetAway(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        server.SetPaused(true);
    });
    const QString rec = cli.dir.filePath(u"rec"_s);
    const QStringList out = cli.Run(
        {u"record"_s, QString::fromStdString(server.Url()), u"--seconds"_s, u"13"_s, u"--dir"_s, rec});
    away.join();
    const std::vector<qint64> got = server.Fetched();
    ASSERT_GE(got.size(), 6u);
    for (size_t i = 1; i < got.size(); ++i)
        EXPECT_EQ(got[i], got[i - 1] + 1) << "at " << i;
    // The first file begins at what was heard when recording began; every later one at a title's
    // frame, so from the first song change on the files hold whole segments.
    const auto song = [](qint64 n) { return kSongs[size_t(n / 3) % kSongs.size()]; };
    const auto change =
        std::find_if(got.begin(), got.end(), [&](qint64 n) { return song(n).title != song(got[0]).title; });
    const QString first = QString::fromUtf8(song(got[0]).artist + " - " + song(got[0]).title + ".mp3");
    const QStringList files = Mp3Files(rec);
    size_t samples = 0;
    for (const QString& file : files)
        samples += QFileInfo(file).fileName() == first ? 0 : Mono(file).size();
    const size_t want = size_t(got.end() - change) * size_t(server.FramesPerSegment()) * 1024;
    // Each file may gain or lose an MP3 frame at its ends.
    EXPECT_NEAR(double(samples), double(want), double(files.size()) * 2304)
        << files.join(u' ').toStdString() << "\n"
        << out.join(u'\n').toStdString();
}

TEST(HlsTransportTest, HostileListsEndWithinTheirLimitsAndTheOthersPlay) {
    HlsServer server(kSongs, 2);
    ASSERT_TRUE(server.Ok());
    auto list = [](std::string body) {
        return [body](const HttpRequest&) { return HttpResponse::Ok(body, "application/vnd.apple.mpegurl"); };
    };
    server.Http().Handle("/self.m3u8", list("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nself.m3u8\n"));
    server.Http().Handle("/key.m3u8",
                         list("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\n"
                              "#EXTINF:1,\n/seg/1.aac\n"));
    server.Http().Handle("/never.m3u8", list("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n/never.aac\n"));
    server.Http().Handle("/never.aac", [](const HttpRequest&) { return HttpResponse::Never(); });
    server.Http().Handle("/endless.m3u8", [](const HttpRequest&) {
        HttpResponse r = HttpResponse::Trickle("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n/seg/1.aac\n");
        r.headers.push_back({"Content-Type", "application/vnd.apple.mpegurl"});
        return r;
    });
    std::string huge = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n";
    while (huge.size() < 400 * 1024)
        huge += "#EXTINF:1,\n/seg/1.aac\n";
    server.Http().Handle("/huge.m3u8", list(huge));
    server.SetMissing("/hi.m3u8");
    // Fragmented MP4: ffmpeg's init segment and fragments, the list left open as a live one's is.
    QTemporaryDir fmp4;
    QProcess ff;
    ff.setWorkingDirectory(fmp4.path());
    ff.start(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=duration=7"_s, u"-c:a"_s,
                           u"aac"_s, u"-f"_s, u"hls"_s, u"-hls_time"_s, u"2"_s, u"-hls_segment_type"_s,
                           u"fmp4"_s, u"-hls_playlist_type"_s, u"vod"_s, u"list.m3u8"_s});
    ASSERT_TRUE(ff.waitForFinished(20000) && ff.exitCode() == 0);
    for (const QFileInfo& f : QDir(fmp4.path()).entryInfoList(QDir::Files)) {
        QFile file(f.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        std::string body = file.readAll().replace("#EXT-X-ENDLIST", "").toStdString();
        server.Http().Handle("/fmp4/" + f.fileName().toStdString(),
                             [body](const HttpRequest&) { return HttpResponse::Ok(body, "text/plain"); });
    }
    const struct {
        const char* path;
        QByteArray type;  // the type a connect gives; empty: the connect fails
        bool titled = false;
    } cases[] = {{"/self.m3u8", {}},
                 {"/key.m3u8", {}},
                 {"/never.m3u8", {}},
                 {"/endless.m3u8", {}},
                 {"/huge.m3u8", {}},
                 {"/master.m3u8?404", "audio/aac"},
                 {"/fmp4/list.m3u8", "audio/mp4"},
                 {"/ts.m3u8", "video/mp2t", true}};
    for (const auto& c : cases) {
        Listener l;
        audio::HttpTransport t(Options(server.Url(c.path)), l.ring, l);
        t.Start();
        if (!c.type.isEmpty()) {
            QElapsedTimer clock;
            clock.start();
            // The live start's three segments come at once: 2.5 s of sound, of the songs' level.
            auto heard = [&l] {
                std::lock_guard lock(l.mu);
                return l.mono.size();
            };
            while (heard() < 110250 && clock.elapsed() < 5000)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::lock_guard lock(l.mu);
            EXPECT_TRUE(l.connected && !l.ended) << c.path;
            EXPECT_EQ(l.type, c.type) << c.path;
            ASSERT_GE(l.mono.size(), 110250u) << c.path;
            EXPECT_GT(ToneLevel(l.mono, 0, 110250, 440) + ToneLevel(l.mono, 0, 110250, 880), 0.05) << c.path;
            // Each title where its segment begins, of that song's tone (past the encoder's edge).
            EXPECT_GE(l.titles.size(), c.titled ? 2u : 0u) << c.path;
            for (const auto& [frame, title] : l.titles) {
                if (frame + 6615 > l.mono.size())
                    break;
                const bool one = title.contains(" - One");
                EXPECT_EQ(frame % size_t(server.FramesPerSegment() * 1024), 0u)
                    << c.path << title.toStdString();
                EXPECT_GT(ToneLevel(l.mono, frame + 2205, frame + 6615, one ? 440 : 880),
                          20 * ToneLevel(l.mono, frame + 2205, frame + 6615, one ? 880 : 440))
                    << c.path << title.toStdString();
            }
        } else {
            EXPECT_TRUE(l.WaitEnd(5000)) << c.path;
            EXPECT_TRUE(l.failed && !l.connected) << c.path;
        }
    }
}

}  // namespace
}  // namespace wavelot::test
