// The kept stream decoded again: the frames a replay hands out are the very frames the live
// decoder made at those indices, and the buffer keeps only the last of the stream.
#include "engine/audio/time_shift.h"
#include "engine/audio/decoder.h"
#include "engine/audio/sample_history.h"
#include "engine/audio/station_loudness.h"
#include "tests/audio/audio_test_util.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <cstring>

namespace wavelot::audio {
namespace {

// Decodes a file as the stream does: the input kept in the buffer, each packet marked with its
// first frame, the frames kept as the sample history holds them, then levelled when a leveller
// is given.
class LiveHost final : public DecoderHost {
public:
    LiveHost(QByteArray input, TimeShiftBuffer& buffer) : input_(std::move(input)), buffer_(buffer) {}
    size_t ReadInput(char* out, size_t max) override {
        const size_t n = std::min<size_t>(max, size_t(input_.size()) - pos_);
        std::memcpy(out, input_.constData() + pos_, n);
        buffer_.Append(out, n);
        pos_ += n;
        return n;
    }
    bool Aborted() const override { return false; }
    void OnFormat(const SourceFormat&) override {}
    void OnTags(quint32, const QByteArray&, bool, qint64) override {}
    bool OnPcm(float* frames, size_t count, qint64 sourcePos, size_t lead) override {
        history.Append(frames, count);
        if (leveller) {
            leveller->Measure(frames, count);
            leveller->Apply(frames, count);
        }
        buffer_.Mark(sourcePos, decoded_ + lead);
        marks.push_back({sourcePos, decoded_ + lead});
        decoded_ += count;
        return true;
    }
    SampleHistory history{44100 * 30};
    LoudnessLeveller* leveller = nullptr;
    std::vector<TimeShiftBuffer::Point> marks;

private:
    QByteArray input_;
    size_t pos_ = 0;
    TimeShiftBuffer& buffer_;
    quint64 decoded_ = 0;
};

TEST(TimeShiftTest, ReplayGivesTheLiveFramesFromTheAskedOneOrTheOldestKept) {
    QFile file(QString::fromStdString(test::Tone(441)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "ffmpeg must be installed to make the test tones";
    const QByteArray mp3 = file.readAll();  // 20 s at 128 kbit/s
    struct Case {
        size_t capacityBytes;
        quint64 from;
        quint64 expectBegin;  // 0: the asked frame
    };
    const Case cases[] = {{mp3.size() + 1024u, 441000 + 123, 0}, {16000 * 5, 0, 1}, {16000 * 5, 100000, 1}};
    for (const Case& c : cases) {
        auto buffer = std::make_shared<TimeShiftBuffer>(c.capacityBytes);
        LiveHost live(mp3, *buffer);
        ASSERT_TRUE(Decoder(live, 44100).Run("audio/mpeg", {}, 2000));
        EXPECT_LE(buffer->HeldBytes(), c.capacityBytes);
        const BufferReplay replay(buffer, "audio/mpeg", 44100, {});
        const quint64 oldest = *buffer->FirstFrame(replay.Preroll());
        const quint64 begin = c.expectBegin ? oldest : c.from;
        // Only the last bytes are kept: what came before them cannot be decoded again.
        const double dropped = 1.0 - double(c.capacityBytes) / double(mp3.size());
        EXPECT_GE(double(oldest), dropped * double(live.history.End()));
        std::vector<int16_t> got;
        quint64 first = 0;
        ASSERT_TRUE(replay.Run(c.from, [&](quint64 at, const int16_t* frames, size_t count) {
            if (got.empty())
                first = at;
            EXPECT_EQ(at, first + got.size() / 2) << "no frame repeated or left out";
            got.insert(got.end(), frames, frames + count * 2);
            return got.size() < 44100 * 2 * 2;
        }));
        EXPECT_EQ(first, begin);
        std::vector<int16_t> want(got.size());
        ASSERT_EQ(live.history.Read(first, got.size() / 2, want.data()), got.size() / 2);
        EXPECT_TRUE(got == want) << "from frame " << first;
    }
}

// Played behind live on a full buffer, the replay keeps its sound while the oldest chunk goes
// as the stream moves on: the frames go on without a gap.
TEST(TimeShiftTest, AReplayAtTheOldestPointOutlastsTheNextTrim) {
    QFile file(QString::fromStdString(test::Tone(441)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "ffmpeg must be installed to make the test tones";
    const QByteArray mp3 = file.readAll();
    auto whole = std::make_shared<TimeShiftBuffer>(mp3.size());
    LiveHost live(mp3, *whole);
    ASSERT_TRUE(Decoder(live, 44100).Run("audio/mpeg", {}, 2000));
    constexpr size_t kChunk = TimeShiftBuffer::kChunkBytes;
    auto buffer = std::make_shared<TimeShiftBuffer>(2 * kChunk);
    qint64 fed = 0;
    size_t marked = 0;
    const auto feed = [&](qint64 to) {  // the stream received up to byte `to`
        buffer->Append(mp3.constData() + fed, size_t(to - fed));
        fed = to;
        for (; marked < live.marks.size() && live.marks[marked].pos < to; ++marked)
            buffer->Mark(live.marks[marked].pos, live.marks[marked].frame);
    };
    feed(3 * kChunk);
    ReplayReader reader(std::make_shared<BufferReplay>(buffer, "audio/mpeg", 44100, std::vector<EqBand>{}),
                        0);
    std::vector<float> out(4096 * 2);
    quint64 first = 0;
    size_t got = 0;
    quint64 next = reader.Next();
    ASSERT_GT(reader.Read(out.data(), 1, 5000, &first), 0u);
    feed(4 * kChunk);  // the oldest chunk goes
    for (got = 1, ++next; got < 44100 * 3;) {
        const size_t n = reader.Read(out.data(), 4096, 5000, &first);
        if (n == 0)
            break;
        ASSERT_EQ(first, next) << "no frame left out";
        next += n;
        got += n;
    }
    EXPECT_GE(got, 44100u * 3) << "the replay ended when the oldest chunk went";
}

// With levelling on, a loud station last levelled 12 dB down, replayed behind live, is heard at
// the level the live sound has at that moment, under the peak ceiling: no jump at a resume or
// back to live.
TEST(TimeShiftTest, AReplayBehindLiveIsLevelledAsTheLiveSound) {
    QFile file(QString::fromStdString(test::Tone(441)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "ffmpeg must be installed to make the test tones";
    const QByteArray mp3 = file.readAll();  // about -10 LUFS
    StationLoudness table;
    table.SetEnabled(true);
    table.Keep("http://loud/", -LoudnessLeveller::kMaxCutDb);
    LoudnessLeveller leveller(44100, "http://loud/", table);
    auto buffer = std::make_shared<TimeShiftBuffer>(mp3.size());
    LiveHost live(mp3, *buffer);
    live.leveller = &leveller;
    ASSERT_TRUE(Decoder(live, 44100).Run("audio/mpeg", {}, 2000));
    ReplayReader reader(std::make_shared<BufferReplay>(buffer, "audio/mpeg", 44100, std::vector<EqBand>{}),
                        441000, leveller.Published());
    std::vector<float> heard(44100 * 2);
    quint64 first = 0, at = 0;
    size_t got = 0;
    for (size_t n = 1; n > 0 && got < 44100; got += n)
        n = reader.Read(&heard[got * 2], std::min<size_t>(4096, 44100 - got), 5000, got ? &at : &first);
    ASSERT_EQ(got, 44100u);
    std::vector<int16_t> source(heard.size());
    ASSERT_EQ(live.history.Read(first, got, source.data()), got);
    double heardSum = 0, sourceSum = 0;
    float peak = 0;
    for (size_t i = 0; i < heard.size(); ++i) {
        heardSum += double(heard[i]) * heard[i];
        sourceSum += std::pow(source[i] / 32768.0, 2);
        peak = std::max(peak, std::fabs(heard[i]));
    }
    EXPECT_NEAR(10 * std::log10(heardSum / sourceSum), leveller.GainDb(), 0.5);
    EXPECT_LE(peak, std::pow(10.0, LoudnessLeveller::kCeilingDbtp / 20));
}

}  // namespace
}  // namespace wavelot::audio
