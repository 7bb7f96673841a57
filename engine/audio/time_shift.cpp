#include "engine/audio/time_shift.h"

#include "engine/audio/decoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace wavelot::audio {

TimeShiftBuffer::TimeShiftBuffer(size_t capacityBytes) : capacity_(capacityBytes) {}

void TimeShiftBuffer::Append(const char* data, size_t size) {
    std::lock_guard lock(mu_);
    if (capacity_ == 0) {
        written_ += qint64(size);
        first_ = written_;
        return;
    }
    while (size > 0) {
        if (chunks_.empty() || chunks_.back().size() == kChunkBytes) {
            chunks_.emplace_back();
            chunks_.back().reserve(kChunkBytes);
        }
        std::vector<char>& last = chunks_.back();
        const size_t n = std::min(size, kChunkBytes - last.size());
        last.insert(last.end(), data, data + n);
        data += n;
        size -= n;
        written_ += qint64(n);
    }
    TrimLocked();
}

void TimeShiftBuffer::TrimLocked() {
    // Whole chunks go, so what is held stays within the capacity and less than a chunk below it.
    while (!chunks_.empty() && size_t(written_ - first_) > capacity_) {
        first_ += qint64(chunks_.front().size());
        chunks_.pop_front();
    }
    while (!marks_.empty() && marks_.front().pos < first_)
        marks_.pop_front();
}

void TimeShiftBuffer::Mark(qint64 pos, quint64 frame) {
    std::lock_guard lock(mu_);
    if (pos < first_ || (!marks_.empty() && pos <= marks_.back().pos))
        return;
    marks_.push_back({pos, std::max(frame, marks_.empty() ? 0 : marks_.back().frame)});
}

void TimeShiftBuffer::SetCapacity(size_t capacityBytes) {
    std::lock_guard lock(mu_);
    capacity_ = capacityBytes;
    TrimLocked();
}

std::optional<TimeShiftBuffer::Point> TimeShiftBuffer::StartFor(quint64 frame, quint64 preroll) const {
    std::lock_guard lock(mu_);
    if (marks_.empty())
        return std::nullopt;
    const quint64 want = frame > preroll ? frame - preroll : 0;
    auto after = std::upper_bound(marks_.begin(), marks_.end(), want,
                                  [](quint64 f, const Point& p) { return f < p.frame; });
    return after == marks_.begin() ? marks_.front() : *std::prev(after);
}

std::optional<quint64> TimeShiftBuffer::FrameAt(qint64 pos) const {
    std::lock_guard lock(mu_);
    auto it = std::lower_bound(marks_.begin(), marks_.end(), pos,
                               [](const Point& p, qint64 v) { return p.pos < v; });
    if (it == marks_.end() || it->pos != pos)
        return std::nullopt;
    return it->frame;
}

std::optional<quint64> TimeShiftBuffer::FirstFrame(quint64 preroll, size_t margin) const {
    std::lock_guard lock(mu_);
    if (marks_.empty())
        return std::nullopt;
    auto it = std::lower_bound(marks_.begin(), marks_.end(), first_ + qint64(margin),
                               [](const Point& p, qint64 v) { return p.pos < v; });
    return (it == marks_.end() ? marks_.front() : *it).frame + preroll;
}

size_t TimeShiftBuffer::Read(qint64 pos, char* out, size_t max) const {
    std::lock_guard lock(mu_);
    if (pos < first_ || pos >= written_)
        return 0;
    size_t done = 0;
    size_t offset = size_t(pos - first_);
    for (size_t i = offset / kChunkBytes; i < chunks_.size() && done < max; ++i) {
        const std::vector<char>& c = chunks_[i];
        const size_t from = offset - i * kChunkBytes;
        const size_t n = std::min(max - done, c.size() - from);
        std::memcpy(out + done, c.data() + from, n);
        done += n;
        offset += n;
    }
    return done;
}

qint64 TimeShiftBuffer::WrittenBytes() const {
    std::lock_guard lock(mu_);
    return written_;
}

size_t TimeShiftBuffer::HeldBytes() const {
    std::lock_guard lock(mu_);
    return size_t(written_ - first_);
}

bool TimeShiftBuffer::Full() const {
    std::lock_guard lock(mu_);
    return size_t(written_ - first_) + kChunkBytes > capacity_;
}

size_t TimeShiftBuffer::MemoryBytes() const {
    std::lock_guard lock(mu_);
    return chunks_.size() * kChunkBytes + marks_.size() * sizeof(Point);
}

namespace {

// A decoder's host that reads the buffer from a packet on and places what it decodes or demuxes
// in the stream's frames by the marks; what is made of it is the subclass's.
class BufferHost : public DecoderHost {
public:
    BufferHost(const TimeShiftBuffer& buffer, qint64 start) : buffer_(buffer), start_(start), pos_(start) {}

    size_t ReadInput(char* out, size_t max) override {
        const size_t n = buffer_.Read(pos_, out, max);
        pos_ += qint64(n);
        return n;
    }
    bool Aborted() const override { return stopped_; }
    void OnFormat(const SourceFormat&) override {}
    void OnTags(quint32, const QByteArray&, bool, qint64) override {}

    // Runs the decoder over the buffer until its bytes run out or the host stops it.
    void Run(const QByteArray& contentType, int outRate) {
        Decoder decoder(*this, outRate);
        decoder.Run(contentType, QByteArray(), 10000);
    }

protected:
    // The frame the packet at the decoder's input position sourcePos begins; nullopt when that
    // is no packet the marks name.
    std::optional<quint64> FrameAt(qint64 sourcePos) const {
        return sourcePos >= 0 ? buffer_.FrameAt(start_ + sourcePos) : std::nullopt;
    }

    bool stopped_ = false;

private:
    const TimeShiftBuffer& buffer_;
    const qint64 start_;
    qint64 pos_;
};

// The host for one replay: turns the decoded sound into frames of the stream.
class ReplayHost final : public BufferHost {
public:
    ReplayHost(const TimeShiftBuffer& buffer, qint64 start, quint64 from, int rate, std::vector<EqBand> bands,
               const BufferReplay::Sink& sink)
        : BufferHost(buffer, start), from_(from), eq_(rate), sink_(sink) {
        eq_.Configure(std::move(bands));
    }

    bool OnPcm(float* frames, size_t count, qint64 sourcePos, size_t lead) override {
        // The live decoder ran its filters over every frame; they settle within the preroll.
        eq_.Process(frames, count);
        const std::optional<quint64> at = FrameAt(sourcePos);
        quint64 first = 0;
        if (at && *at >= lead)
            first = *at - lead;
        else if (next_)
            first = *next_;
        else
            return true;  // sound from before the first packet we can place
        // Frames already handed out are not handed out again.
        size_t skip = 0;
        if (next_ && first < *next_)
            skip = size_t(std::min<quint64>(*next_ - first, count));
        if (first + skip < from_)
            skip = size_t(std::min<quint64>(from_ - first, count));
        next_ = std::max(next_.value_or(0), first + count);
        if (skip >= count)
            return true;
        samples_.resize((count - skip) * 2);
        for (size_t i = 0; i < samples_.size(); ++i) {
            const float v = std::clamp(frames[skip * 2 + i], -1.0f, 1.0f);
            samples_[i] = static_cast<int16_t>(std::lrint(v * 32767.0f));
        }
        handedOut_ = true;
        if (!sink_(first + skip, samples_.data(), count - skip))
            stopped_ = true;
        return !stopped_;
    }

    bool HandedOut() const { return handedOut_; }

private:
    const quint64 from_;
    EqualizerChain eq_;
    const BufferReplay::Sink& sink_;
    std::optional<quint64> next_;
    std::vector<int16_t> samples_;
    bool handedOut_ = false;
};

// The host for packets only: each is held until a later packet's frame tells where its sound
// ends.
class PacketHost final : public BufferHost {
public:
    PacketHost(const TimeShiftBuffer& buffer, qint64 start, const BufferPackets::Sink& sink)
        : BufferHost(buffer, start), sink_(sink) {}

    bool WantsSound() const override { return false; }
    bool OnPcm(float*, size_t, qint64, size_t) override { return true; }

    void OnPacket(const uint8_t* data, size_t size, qint64 pos, int64_t duration) override {
        const std::optional<quint64> frame = FrameAt(pos);
        if (!frame && held_.empty())
            return;  // before the first packet the marks place
        if (frame) {
            for (size_t i = 0; i < held_.size() && !stopped_; ++i) {
                Held& h = held_[i];
                h.frame = h.frame.value_or(*frame);
                const quint64 end = i + 1 < held_.size() ? held_[i + 1].frame.value_or(*frame) : *frame;
                handedOut_ = true;
                stopped_ = !sink_(h.data.data(), h.data.size(), h.duration, *h.frame,
                                  end > *h.frame ? end - *h.frame : 0);
            }
            held_.clear();
        }
        held_.push_back({std::vector<uint8_t>(data, data + size), duration, frame});
    }

    bool HandedOut() const { return handedOut_; }

private:
    struct Held {
        std::vector<uint8_t> data;
        int64_t duration;
        std::optional<quint64> frame;  // none: it made no sound of its own
    };
    const BufferPackets::Sink& sink_;
    std::vector<Held> held_;
    bool handedOut_ = false;
};

}  // namespace

bool ReplayableContentType(const QByteArray& contentType) {
    const char* demuxer = DemuxerForContentType(contentType);
    return !(demuxer && std::strcmp(demuxer, "ogg") == 0) && !(demuxer && std::strcmp(demuxer, "asf") == 0);
}

BufferReplay::BufferReplay(std::shared_ptr<const TimeShiftBuffer> buffer, QByteArray contentType, int outRate,
                           std::vector<EqBand> bands)
    : buffer_(std::move(buffer)),
      contentType_(std::move(contentType)),
      outRate_(outRate),
      bands_(std::move(bands)) {}

std::optional<quint64> BufferReplay::BeginFor(quint64 from) const {
    const std::optional<quint64> first = buffer_->FirstFrame(Preroll());
    if (!first)
        return std::nullopt;
    return std::max(from, *first);
}

std::optional<quint64> BufferReplay::BeginAtPace(quint64 from) const {
    const std::optional<quint64> first = buffer_->FirstFrame(Preroll(), TimeShiftBuffer::kChunkBytes);
    if (!first)
        return std::nullopt;
    return std::max(from, *first);
}

bool BufferReplay::Run(quint64 from, const Sink& sink) const {
    const std::optional<quint64> begin = BeginFor(from);
    if (!begin)
        return false;
    const std::optional<TimeShiftBuffer::Point> start = buffer_->StartFor(*begin, Preroll());
    if (!start)
        return false;
    ReplayHost host(*buffer_, start->pos, *begin, outRate_, bands_, sink);
    host.Run(contentType_, outRate_);
    return host.HandedOut();
}

BufferPackets::BufferPackets(std::shared_ptr<const TimeShiftBuffer> buffer, QByteArray contentType)
    : buffer_(std::move(buffer)), contentType_(std::move(contentType)) {}

bool BufferPackets::Run(quint64 from, const Sink& sink) const {
    // Once the buffer is full its oldest chunk is the next to go: a run begun inside it could
    // lose its bytes midway.
    const std::optional<quint64> first =
        buffer_->FirstFrame(0, buffer_->Full() ? TimeShiftBuffer::kChunkBytes : 0);
    if (!first)
        return false;
    const std::optional<TimeShiftBuffer::Point> start = buffer_->StartFor(std::max(from, *first), 0);
    if (!start)
        return false;
    PacketHost host(*buffer_, start->pos, sink);
    // No sound is made: the rate is the resampler's, which does not run.
    host.Run(contentType_, 48000);
    return host.HandedOut();
}

ReplayReader::ReplayReader(std::shared_ptr<const BufferReplay> replay, quint64 from,
                           std::shared_ptr<const std::atomic<float>> level)
    : limit_(size_t(replay->OutRate()) / 2),
      next_(replay->BeginAtPace(from).value_or(from)),
      level_(replay->OutRate(), std::move(level)) {
    thread_ = std::thread([this, replay = std::move(replay), from = next_] {
        replay->Run(from, [this](quint64 first, const int16_t* frames, size_t count) {
            std::unique_lock lock(mu_);
            cv_.wait(lock, [&] { return stop_ || queued_ < limit_; });
            if (stop_)
                return false;
            Block b{first, std::vector<float>(count * 2)};
            for (size_t i = 0; i < count * 2; ++i)
                b.samples[i] = float(frames[i]) / 32768.0f;
            blocks_.push_back(std::move(b));
            queued_ += count;
            cv_.notify_all();
            return true;
        });
        std::lock_guard lock(mu_);
        done_ = true;
        cv_.notify_all();
    });
}

ReplayReader::~ReplayReader() {
    {
        std::lock_guard lock(mu_);
        stop_ = true;
        cv_.notify_all();
    }
    thread_.join();
}

size_t ReplayReader::Read(float* out, size_t max, int waitMs, quint64* first) {
    size_t n = 0;
    {
        std::unique_lock lock(mu_);
        cv_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return done_ || !blocks_.empty(); });
        if (blocks_.empty())
            return 0;
        Block& b = blocks_.front();
        n = std::min(max, b.samples.size() / 2 - b.taken);
        std::memcpy(out, b.samples.data() + b.taken * 2, n * 2 * sizeof(float));
        *first = b.first + b.taken;
        b.taken += n;
        queued_ -= n;
        next_ = *first + n;
        handedOut_ = true;
        if (b.taken * 2 == b.samples.size())
            blocks_.pop_front();
        cv_.notify_all();
    }
    level_.Apply(out, n);
    return n;
}

bool ReplayReader::Ended() const {
    std::lock_guard lock(mu_);
    return done_ && blocks_.empty();
}

quint64 ReplayReader::Next() const {
    std::lock_guard lock(mu_);
    return next_;
}

bool ReplayReader::HandedOut() const {
    std::lock_guard lock(mu_);
    return handedOut_;
}

}  // namespace wavelot::audio
