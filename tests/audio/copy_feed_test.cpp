// The copy feed behind the decoder, fed from memory: a chained Ogg Vorbis station whose second
// link begins inside the file being written.
#include "engine/audio/copy_feed.h"
#include "engine/audio/decoder.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <cstring>

using namespace Qt::StringLiterals;

namespace wavelot::audio {
namespace {

// Decodes as the stream does, handing the packets to the log and marking each with its first frame.
class CopyHost final : public DecoderHost {
public:
    CopyHost(QByteArray input, PacketLog& log) : input_(std::move(input)), log_(log) {}
    size_t ReadInput(char* out, size_t max) override {
        const size_t n = std::min<size_t>(max, size_t(input_.size()) - pos_);
        std::memcpy(out, input_.constData() + pos_, n);
        pos_ += n;
        return n;
    }
    bool Aborted() const override { return false; }
    void OnFormat(const SourceFormat&) override {}
    void OnTags(quint32, const QByteArray&, bool, qint64) override {}
    bool OnPcm(float*, size_t count, qint64 sourcePos, size_t lead) override {
        log_.Mark(sourcePos, decoded_ + lead);
        decoded_ += count;
        return true;
    }
    void OnPacket(const uint8_t* data, size_t size, qint64 pos, int64_t duration) override {
        log_.Add(data, size, pos, duration);
    }
    void OnCodec(const AVCodecParameters& par, int num, int den) override { log_.SetCodec(par, num, den); }

private:
    QByteArray input_;
    size_t pos_ = 0;
    PacketLog& log_;
    quint64 decoded_ = 0;
};

// The channels of each frame ffmpeg decodes from a file, and what it complained of.
std::pair<QStringList, QByteArray> FrameChannels(const QString& file) {
    QProcess p;
    p.start(u"ffprobe"_s,
            {u"-v"_s, u"error"_s, u"-of"_s, u"csv=p=0"_s, u"-show_entries"_s, u"frame=channels"_s, file});
    p.waitForFinished(20000);
    return {QString::fromLatin1(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
            p.readAllStandardError()};
}

TEST(CopyFeedTest, AChainLinkBeginningMidFileBeginsALinkOfTheFilesChain) {
    QTemporaryDir dir;
    // A stereo link, then a mono one: the mono packets decode only with their own link's headers.
    QByteArray station;
    for (const QString& channels : {u"2"_s, u"1"_s}) {
        QProcess ff;
        ff.start(u"ffmpeg"_s, {u"-nostdin"_s, u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                               u"anoisesrc=color=pink:amplitude=0.3:duration=2.5:sample_rate=48000"_s,
                               u"-ac"_s, channels, u"-c:a"_s, u"libvorbis"_s, u"-f"_s, u"ogg"_s, u"-"_s});
        ASSERT_TRUE(ff.waitForFinished(30000));
        station += ff.readAllStandardOutput();
    }
    const QString source = dir.filePath(u"station.ogg"_s), copy = dir.filePath(u"copy.ogg"_s);
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(station) == station.size());
    f.close();

    auto log = std::make_shared<PacketLog>(48000 * 60, 48000);
    {
        CopyFeed feed(log, 0);
        feed.Switch(1, copy, 0);
        CopyHost host(station, *log);
        ASSERT_TRUE(Decoder(host, 48000).Run("application/ogg", {}, 0));
        log->End();
    }
    const auto [sent, sentErrors] = FrameChannels(source);
    const auto [copied, errors] = FrameChannels(copy);
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
    // Each link's frames as the station's, give or take the last packet's, whose padding only the
    // station's own end of the link can trim.
    for (const QString& channels : {u"2"_s, u"1"_s}) {
        ASSERT_TRUE(sent.contains(channels));
        EXPECT_NEAR(copied.count(channels), sent.count(channels), 1) << channels.toStdString();
    }
}

}  // namespace
}  // namespace wavelot::audio
