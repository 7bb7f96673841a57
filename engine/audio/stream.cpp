#include "engine/audio/stream.h"

#include "engine/audio/copy_feed.h"
#include "engine/audio/encoder_feed.h"
#include "engine/audio/sound_output.h"
#include "engine/audio/station_loudness.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace wavelot::audio {

namespace {
// What the output thread takes per write: the sound server's refill step, so one wake-up of the
// output thread moves one block.
constexpr int kBlockMs = 50;
// A stream nobody hears moves its sound in larger steps: its reader reads the socket this often,
// its output takes blocks this long, and its FIFO holds a few of them, so the decoder too wakes a
// few times a second. The output still starves and stalls as before, and the recordings follow
// the decoder, not the output.
constexpr int kUnheardReadMs = 200;
constexpr int kUnheardBlockMs = 200;
constexpr int kUnheardFifoMs = 600;
// Nor does it need a long network buffer: its decoder keeps up with the connection, and a burst
// larger than this waits in the socket (the reader pauses) rather than in memory.
constexpr size_t kUnheardRingBytes = 262144;
// Starved this long, the stream reports itself stalled (it still counts as playing).
constexpr int kStallMs = 1000;
// A stream told to play at volume 0 with nothing sliding is the start of a fade-in whose slide
// follows at once: its output waits this long for it, since what it writes before the slide is
// silence queued in the server's buffer ahead of the fade.
constexpr auto kFadeInWait = std::chrono::milliseconds(50);
// What the history holds: enough for the listener's lag behind the decoder, for a title event the
// program takes a moment to act on, and for the first seconds of a stream that a recording resumed
// after a reconnect may begin in. While an encoder runs, enough to hold a server's burst too, since
// the history's end is the tail such a resumed recording is matched against.
constexpr int kHistorySeconds = 10;
constexpr int kRecordingHistorySeconds = 20;
// The encoders run this far behind the decoder, so that a switch the program asks for a moment
// after the frame it names still lands exactly on it.
constexpr int kEncoderDelayMs = 3000;
// The packets kept for recordings of the stream's own packets: a file may begin at a title this
// far back.
constexpr int kPacketLogSeconds = 60;
}  // namespace

qint64 Stream::Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Stream::Stream(StreamConfig config, Notify notify)
    : cfg_(std::move(config)),
      notify_(std::move(notify)),
      ring_(cfg_.unheard ? std::min(cfg_.ringBytes, kUnheardRingBytes) : cfg_.ringBytes),
      fifo_(size_t(cfg_.outRate) * (cfg_.unheard ? kUnheardFifoMs : 250) / 1000),
      history_(std::make_shared<SampleHistory>(size_t(cfg_.outRate) * kHistorySeconds)),
      timeShift_(std::make_shared<TimeShiftBuffer>(0)),
      packets_(std::make_shared<PacketLog>(quint64(cfg_.outRate) * kPacketLogSeconds, cfg_.outRate)),
      eq_(cfg_.outRate),
      leveller_(cfg_.outRate, cfg_.directUrl.isEmpty() ? cfg_.transport.url : cfg_.directUrl,
                StationLoudness::Shared()) {
    timings_.created = Now();
}

Stream::~Stream() {
    RequestStop();
    Join();
}

void Stream::Start() {
    if (cfg_.directUrl.isEmpty()) {
        TransportOptions options = cfg_.transport;
        if (cfg_.unheard)
            options.readPeriodMs = kUnheardReadMs;
        transport_ = std::make_unique<HttpTransport>(std::move(options), ring_, *this);
        transport_->Start();
    }
    decoderThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "decode");
        DecoderLoop();
    });
    outputThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "output");
        OutputLoop();
    });
}

Stream::ConnectState Stream::State() const {
    std::lock_guard lock(mu_);
    return state_;
}

void Stream::SetStateWaker(std::function<void()> waker) {
    std::lock_guard lock(mu_);
    waker_ = std::move(waker);
}

void Stream::SetState(ConnectState s) {
    std::lock_guard lock(mu_);
    if (state_ != ConnectState::Connecting)
        return;
    state_ = s;
    if (waker_)
        waker_();
    cv_.notify_all();
}

void Stream::RequestStop() {
    abort_ = true;
    if (transport_)
        transport_->Stop();
    ring_.Abort();
    fifo_.Abort();
    SetState(ConnectState::Failed);
    std::lock_guard lock(mu_);
    cv_.notify_all();
}

void Stream::Join() {
    if (transport_)
        transport_->Join();
    if (decoderThread_.joinable())
        decoderThread_.join();
    if (outputThread_.joinable())
        outputThread_.join();
    for (auto& feed : TakeEncoders(0))
        feed->Stop();
}

// --- reader thread ---

void Stream::OnConnected(const HeaderBlock& headers) {
    std::lock_guard lock(mu_);
    connected_ = true;
    contentType_ = headers.Value("content-type");
    headerTags_ = headers.Tags();
    icy_ = headers.IsIcy();
    timings_.connected = Now();
    cv_.notify_all();
}

void Stream::OnMeta(const QByteArray& meta) {
    // The ring holds exactly the audio bytes, and the decoder reads them from position 0: the
    // bytes written so far are where the block stood in the decoder's input.
    const auto offset = qint64(ring_.TotalWritten());
    std::lock_guard lock(mu_);
    pendingTags_.push_back({offset, TAG_META, meta, false});
}

void Stream::OnTransportEnd(bool) {
    std::lock_guard lock(mu_);
    transportEnded_ = true;
    cv_.notify_all();
}

// --- decoder thread ---

void Stream::DecoderLoop() {
    QByteArray type;
    if (cfg_.directUrl.isEmpty()) {
        std::unique_lock lock(mu_);
        cv_.wait(lock, [&] { return abort_ || connected_ || transportEnded_; });
        if (!connected_ || abort_) {
            lock.unlock();
            SetState(ConnectState::Failed);
            fifo_.SetEnd();
            return;
        }
        type = contentType_;
        keepInput_ = cfg_.timeShiftSeconds > 0 && ReplayableContentType(type);
    }
    Decoder decoder(*this, cfg_.outRate);
    decoder.Run(type, cfg_.directUrl, cfg_.transport.timeoutMs);
    std::vector<quint32> due;
    {
        // Tags whose sound never came take effect at the end.
        std::lock_guard lock(mu_);
        due = ApplyTagEventsLocked(std::numeric_limits<qint64>::max(), decoded_);
    }
    for (quint32 kind : due)
        notify_(kind, 0);
    history_->SetEnded();
    packets_->End();
    SetState(ConnectState::Failed);  // no effect once Ready
    fifo_.SetEnd();
}

size_t Stream::ReadInput(char* out, size_t max) {
    const size_t n = ring_.Read(out, max);
    if (keepInput_)
        timeShift_->Append(out, n);
    return n;
}

void Stream::OnFormat(const SourceFormat& format) {
    if (keepInput_) {
        // Sized by the rate the stream states; one that states none is taken as 128 kbit/s.
        const size_t bytesPerSecond = size_t(format.kbps > 0 ? format.kbps : 128) * 1000 / 8;
        timeShift_->SetCapacity(bytesPerSecond * size_t(cfg_.timeShiftSeconds));
    }
    std::lock_guard lock(mu_);
    format_ = format;
}

void Stream::OnTags(quint32 kind, const QByteArray& tags, bool chainLink, qint64 pos) {
    std::lock_guard lock(mu_);
    if (chainLink) {
        pendingTags_.push_back({pos, kind, tags, true});
        return;
    }
    (kind == TAG_OGG ? oggTags_ : wmaTags_) = tags;
    (kind == TAG_OGG ? oggAt_ : wmaAt_) = decoded_;
}

std::vector<quint32> Stream::ApplyTagEventsLocked(qint64 sourcePos, quint64 at) {
    std::vector<quint32> due;
    while (!pendingTags_.empty()) {
        const TagEvent& e = pendingTags_.front();
        if (e.pos >= 0 && sourcePos >= 0 && e.pos > sourcePos)
            break;
        if (e.kind == TAG_META) {
            meta_ = e.tags;
            metaAt_ = at;
        } else {
            oggTags_ = e.tags;
            oggAt_ = at;
        }
        due.push_back(SYNC_META);
        if (e.chainLink)
            due.push_back(SYNC_OGG_CHANGE);
        pendingTags_.pop_front();
    }
    return due;
}

bool Stream::OnPcm(float* frames, size_t count, qint64 sourcePos, size_t lead) {
    std::vector<EqBand> bands;
    bool reconfigure = false;
    {
        std::lock_guard lock(mu_);
        if (bandsDirty_) {
            bands = bands_;
            bandsDirty_ = false;
            reconfigure = true;
        }
    }
    if (reconfigure)
        eq_.Configure(std::move(bands));
    // Levelling is for the ear: a stream nobody hears (a background recording) is not metered.
    const bool heard = !cfg_.unheard;
    if (heard)
        leveller_.Measure(frames, count);
    eq_.Process(frames, count);
    history_->Append(frames, count);
    if (keepInput_ && sourcePos >= 0)
        timeShift_->Mark(sourcePos, decoded_ + lead);
    packets_->Mark(sourcePos, decoded_ + lead);
    // Only what is heard is levelled: recordings keep the station's own loudness.
    if (heard)
        leveller_.Apply(frames, count);
    std::vector<quint32> due;
    {
        std::lock_guard lock(mu_);
        due = ApplyTagEventsLocked(sourcePos, decoded_ + lead);
        decoded_ += count;
    }
    for (quint32 kind : due)
        notify_(kind, 0);
    if (!fifo_.Push(frames, count))
        return false;
    SetState(ConnectState::Ready);
    return true;
}

// --- output thread ---

void Stream::OutputLoop() {
    std::unique_ptr<SoundOutput> out;
    const size_t blockFrames = size_t(cfg_.outRate) * (cfg_.unheard ? kUnheardBlockMs : kBlockMs) / 1000;
    std::vector<float> buf(blockFrames * 2);
    std::chrono::steady_clock::time_point starvedSince{};
    bool prebuffered = cfg_.prebufPercent <= 0;
    bool gaveUp = false;
    bool awaitFade = true;
    quint64 played = 0;  // the frame after the last one written
    quint64 live = 0;    // the frame the FIFO hands out next: every decoded frame passes it in order
    std::unique_ptr<ReplayReader> replay;
    bool holding = false;  // paused while the live sound goes on
    // Behind live, the live sound still flows (the history, the buffer, the recordings and the
    // titles follow it); what it hands the output is counted and dropped.
    const auto dropLive = [&](int waitMs) {
        if (fifo_.EndedAndEmpty()) {
            std::unique_lock lock(mu_);
            cv_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return abort_ || !shifted_; });
            return;
        }
        for (size_t n = fifo_.Pop(buf.data(), blockFrames, waitMs); n > 0;
             n = fifo_.Pop(buf.data(), blockFrames, 0))
            live += n;
    };
    // Opened while the connect runs, so the first sound does not wait for the sound server.
    if (cfg_.soundServer)
        out = OpenPulseOutput(cfg_.outRate, QByteArrayLiteral("Radio"));
    while (!abort_) {
        bool shifted = false;
        bool playing = false;
        {
            std::unique_lock lock(mu_);
            cv_.wait(lock, [&] { return abort_ || playing_ || (paused_ && shifted_); });
            if (playing_ && std::exchange(awaitFade, false) && volume_.Value() == 0 && !volume_.Sliding())
                cv_.wait_for(lock, kFadeInWait,
                             [&] { return abort_ || !playing_ || volume_.Value() > 0 || volume_.Sliding(); });
            shifted = shifted_;
            playing = playing_;
            if (!playing && !holding)
                resumeAt_ = played;
            holding = !playing;
        }
        if (abort_)
            break;
        if (!shifted || holding)
            replay.reset();
        if (!out)
            out = OpenSilentOutput(cfg_.outRate);
        size_t n = 0;
        if (shifted) {
            dropLive(holding ? 50 : 0);
            if (holding)
                continue;
            if (!replay) {
                std::unique_lock lock(mu_);
                auto source =
                    std::make_shared<BufferReplay>(timeShift_, contentType_, cfg_.outRate,
                                                   std::vector<EqBand>(bands_.begin(), bands_.end()));
                if (resumeAt_ >= live || !source->BeginFor(resumeAt_)) {
                    shifted_ = false;  // nothing to play behind live
                    continue;
                }
                replay = std::make_unique<ReplayReader>(std::move(source), resumeAt_, leveller_.Published());
            }
            quint64 first = 0;
            n = replay->Read(buf.data(), blockFrames, kBlockMs, &first);
            if (n == 0) {
                if (replay->Ended()) {
                    // Its bytes ran out or left the buffer: on from the next frame, or live once
                    // it has caught up (or could not decode).
                    const quint64 next = replay->Next();
                    const bool stuck = !replay->HandedOut();
                    replay.reset();
                    std::lock_guard lock(mu_);
                    if (stuck || next >= live)
                        shifted_ = false;
                    else
                        resumeAt_ = next;
                }
                continue;
            }
            played = first + n;
        } else {
            if (!prebuffered) {
                const size_t want = ring_.Capacity() * size_t(std::min(cfg_.prebufPercent, 100)) / 100;
                bool ended = false;
                {
                    std::lock_guard lock(mu_);
                    ended = transportEnded_;
                }
                if (ring_.Size() < want && !ended && ring_.Capacity() - ring_.Size() > 65536) {
                    std::unique_lock lock(mu_);
                    cv_.wait_for(lock, std::chrono::milliseconds(50));
                    continue;
                }
                prebuffered = true;
            }
            n = fifo_.Pop(buf.data(), blockFrames, 50);
            if (n == 0) {
                if (fifo_.EndedAndEmpty()) {
                    {
                        std::lock_guard lock(mu_);
                        ended_ = true;
                    }
                    notify_(SYNC_END, 0);
                    break;
                }
                const auto now = std::chrono::steady_clock::now();
                if (starvedSince == std::chrono::steady_clock::time_point{}) {
                    starvedSince = now;
                } else if (!gaveUp && transport_ &&
                           now - starvedSince > std::chrono::milliseconds(cfg_.stallLimitMs)) {
                    // A connection that stays open without giving sound (silent, dripping bytes, or
                    // sending what does not decode) ends here like one that closed: the buffered
                    // sound is long gone, so the decoder finishes at once and the end follows.
                    gaveUp = true;
                    transport_->Stop();
                } else if (now - starvedSince > std::chrono::milliseconds(kStallMs)) {
                    bool fire = false;
                    {
                        std::lock_guard lock(mu_);
                        fire = !stalled_;
                        stalled_ = true;
                    }
                    if (fire)
                        notify_(SYNC_STALL, 0);
                }
                continue;
            }
            live += n;
            played = live;
        }
        starvedSince = {};
        bool resumed = false;
        spectrum_.Append(buf.data(), n);
        {
            std::lock_guard lock(mu_);
            resumed = stalled_;
            stalled_ = false;
            volume_.Apply(buf.data(), n);
            playedSeconds_ += double(n) / cfg_.outRate;
            if (!timings_.firstSample)
                timings_.firstSample = Now();
        }
        if (resumed)
            notify_(SYNC_STALL, 1);
        // Boosted equalizer bands can add up past full scale.
        for (size_t i = 0; i < n * 2; ++i)
            buf[i] = std::clamp(buf[i], -1.0f, 1.0f);
        if (!out->Write(buf.data(), n))
            out = OpenSilentOutput(cfg_.outRate);
        const size_t latency = out->LatencyFrames();
        heard_ = played > latency ? played - latency : 0;
    }
}

// --- any thread ---

QByteArray Stream::Tags(quint32 kind, quint64* at) const {
    std::lock_guard lock(mu_);
    if (at)
        *at = kind == TAG_META ? metaAt_ : kind == TAG_OGG ? oggAt_ : kind == TAG_WMA ? wmaAt_ : 0;
    switch (kind) {
    case TAG_HTTP: return icy_ ? QByteArray() : headerTags_;
    case TAG_ICY: return icy_ ? headerTags_ : QByteArray();
    case TAG_META: return meta_;
    case TAG_OGG: return oggTags_;
    case TAG_WMA: return wmaTags_;
    default: return {};
    }
}

bool Stream::Play() {
    std::lock_guard lock(mu_);
    if (ended_ || state_ != ConnectState::Ready)
        return false;
    playing_ = true;
    paused_ = false;
    cv_.notify_all();
    return true;
}

bool Stream::Pause() {
    std::lock_guard lock(mu_);
    if (!playing_)
        return false;
    playing_ = false;
    paused_ = true;
    // With the received sound kept, the live sound goes on and play resumes behind it; without,
    // the stream simply stops taking sound until it plays again.
    shifted_ = shifted_ || timeShift_->HeldBytes() > 0;
    cv_.notify_all();
    return true;
}

bool Stream::GoLive() {
    std::lock_guard lock(mu_);
    if (ended_ || state_ != ConnectState::Ready)
        return false;
    shifted_ = false;
    playing_ = true;
    paused_ = false;
    cv_.notify_all();
    return true;
}

bool Stream::BehindLive() const {
    std::lock_guard lock(mu_);
    return shifted_;
}

bool Stream::StopPlaying() {
    std::lock_guard lock(mu_);
    playing_ = false;
    paused_ = false;
    shifted_ = false;
    return true;
}

quint32 Stream::Active() const {
    std::lock_guard lock(mu_);
    if (ended_)
        return ACTIVE_STOPPED;
    if (paused_)
        return ACTIVE_PAUSED;
    if (!playing_)
        return ACTIVE_STOPPED;
    return stalled_ ? ACTIVE_STALLED : ACTIVE_PLAYING;
}

void Stream::SetVolume(float v) {
    std::lock_guard lock(mu_);
    volume_.Set(v);
    cv_.notify_all();
}

void Stream::SlideVolume(float v, quint32 ms) {
    std::lock_guard lock(mu_);
    volume_.Slide(v, quint64(ms) * quint64(cfg_.outRate) / 1000);
    cv_.notify_all();
}

float Stream::Volume() const {
    std::lock_guard lock(mu_);
    return volume_.Value();
}

bool Stream::Sliding() const {
    std::lock_guard lock(mu_);
    return volume_.Sliding();
}

SourceFormat Stream::Format() const {
    std::lock_guard lock(mu_);
    return format_;
}

quint64 Stream::PositionBytes() const {
    std::lock_guard lock(mu_);
    return quint64(playedSeconds_ * format_.freq) * quint64(std::max(format_.chans, 1)) * 4;
}

double Stream::BytesToSeconds(quint64 bytes) const {
    std::lock_guard lock(mu_);
    if (format_.freq <= 0)
        return -1;
    return double(bytes) / (double(format_.freq) * std::max(format_.chans, 1) * 4);
}

bool Stream::Spectrum(size_t n, float* out) const {
    return MagnitudeSpectrum(spectrum_.Last(n), out);
}

size_t Stream::BufferedBytes() const {
    return fifo_.Frames() * 8;
}

StreamTimings Stream::Timings() const {
    std::lock_guard lock(mu_);
    return timings_;
}

quint64 Stream::DecodedFrames() const {
    return history_->End();
}

quint64 Stream::HeardFrame() const {
    return heard_;
}

size_t Stream::HistoryBytes() const {
    return history_->End() > 0 ? history_->CapacityFrames() * 2 * sizeof(int16_t) : 0;
}

std::shared_ptr<const TailData> Stream::Tail() const {
    const quint64 end = history_->End();
    SampleHistory::Mono mono = history_->MonoMix(0, end);
    if (mono.samples.empty())
        return nullptr;
    auto tail = std::make_shared<TailData>();
    tail->rate = cfg_.outRate;
    tail->mono = std::move(mono.samples);
    return tail;
}

void Stream::AddBand(FxHandle id, int priority) {
    std::lock_guard lock(mu_);
    EqBand b;
    b.id = id;
    b.priority = priority;
    // Higher priority runs first; equal priorities keep the order they were added in.
    auto at =
        std::find_if(bands_.begin(), bands_.end(), [&](const EqBand& x) { return x.priority < priority; });
    bands_.insert(at, b);
    bandsDirty_ = true;
}

bool Stream::RemoveBand(FxHandle id) {
    std::lock_guard lock(mu_);
    auto it = std::find_if(bands_.begin(), bands_.end(), [&](const EqBand& x) { return x.id == id; });
    if (it == bands_.end())
        return false;
    bands_.erase(it);
    bandsDirty_ = true;
    return true;
}

bool Stream::SetBand(FxHandle id, const DX8ParamEq& p) {
    std::lock_guard lock(mu_);
    for (EqBand& b : bands_) {
        if (b.id == id) {
            b.params = ClampParamEq(p, cfg_.outRate);
            bandsDirty_ = true;
            return true;
        }
    }
    return false;
}

bool Stream::GetBand(FxHandle id, DX8ParamEq* p) const {
    std::lock_guard lock(mu_);
    for (const EqBand& b : bands_) {
        if (b.id == id) {
            *p = b.params;
            return true;
        }
    }
    return false;
}

quint64 Stream::ResolveFrameLocked(quint64 frame) const {
    if (frame == kHeardFrame)
        frame = heard_;
    // A frame before the history's start is gone; one after its end is waited for.
    return std::max(frame, history_->Start());
}

std::shared_ptr<const BufferReplay> Stream::ReplayLocked(quint64 frame) const {
    if (frame >= history_->Start() + quint64(cfg_.outRate))
        return nullptr;
    auto replay = std::make_shared<BufferReplay>(timeShift_, contentType_, cfg_.outRate,
                                                 std::vector<EqBand>(bands_.begin(), bands_.end()));
    return replay->BeginFor(frame) ? replay : nullptr;
}

void Stream::AddEncoder(EncoderHandle id, std::unique_ptr<EncoderFeed> feed, const EncodeAt& at) {
    std::lock_guard lock(mu_);
    history_->Reserve(size_t(cfg_.outRate) * kRecordingHistorySeconds);
    EncoderFeed::Begin begin;
    if (at.after) {
        begin = {at.frame == kHeardFrame ? 0 : at.frame, at.after, nullptr};
    } else {
        const quint64 frame = at.frame == kHeardFrame ? quint64(heard_) : at.frame;
        begin.replay = at.rewind ? ReplayLocked(frame) : nullptr;
        begin.frame = begin.replay ? *begin.replay->BeginFor(frame) : ResolveFrameLocked(frame);
    }
    feed->Attach(history_, std::move(begin), size_t(cfg_.outRate) * kEncoderDelayMs / 1000);
    encoders_.emplace_back(id, std::move(feed));
}

std::vector<std::unique_ptr<EncoderFeed>> Stream::TakeEncoders(EncoderHandle id) {
    std::vector<std::unique_ptr<EncoderFeed>> out;
    std::lock_guard lock(mu_);
    for (auto it = encoders_.begin(); it != encoders_.end();) {
        if (id == 0 || it->first == id) {
            out.push_back(std::move(it->second));
            it = encoders_.erase(it);
        } else {
            ++it;
        }
    }
    return out;
}

std::vector<std::unique_ptr<EncoderFeed>> Stream::SwapEncoders(EncoderHandle id,
                                                               std::unique_ptr<EncoderFeed> feed,
                                                               const EncodeAt& at) {
    std::vector<std::unique_ptr<EncoderFeed>> out;
    std::lock_guard lock(mu_);
    history_->Reserve(size_t(cfg_.outRate) * kRecordingHistorySeconds);
    EncoderFeed::Begin begin;
    if (at.after) {
        // A recording that continues another stream's: the old feeds keep all they have.
        begin = {at.frame == kHeardFrame ? 0 : at.frame, at.after};
        for (auto& [eid, old] : encoders_)
            old->EndAt(history_->End());
    } else {
        // The switch frame, or a later one where an old writer already handed on sound past it.
        quint64 frame = ResolveFrameLocked(at.frame);
        for (auto& [eid, old] : encoders_)
            frame = std::max(frame, old->Position());
        for (bool again = true; again;) {
            again = false;
            for (auto& [eid, old] : encoders_) {
                const quint64 kept = old->EndAt(frame);
                again = again || kept > frame;
                frame = std::max(frame, kept);
            }
        }
        begin.frame = frame;
        if (encoders_.empty() && at.rewind) {
            const quint64 asked = at.frame == kHeardFrame ? quint64(heard_) : at.frame;
            begin.replay = ReplayLocked(asked);
            if (begin.replay)
                begin.frame = *begin.replay->BeginFor(asked);
        }
        // An old feed still searching where it begins hands its search on: the new one begins no
        // earlier than what the tail it is matched against already holds.
        for (auto& [eid, old] : encoders_) {
            EncoderFeed::Begin pending = old->PendingBegin();
            if (pending.after)
                begin.after = std::move(pending.after);
        }
    }
    for (auto& [eid, old] : encoders_)
        out.push_back(std::move(old));
    encoders_.clear();
    if (feed) {
        feed->Attach(history_, std::move(begin), size_t(cfg_.outRate) * kEncoderDelayMs / 1000);
        encoders_.emplace_back(id, std::move(feed));
    }
    return out;
}

bool Stream::FeedSpan(EncoderFeed& feed, quint64 from, quint64 to) {
    std::lock_guard lock(mu_);
    history_->Reserve(size_t(cfg_.outRate) * kRecordingHistorySeconds);
    EncoderFeed::Begin begin;
    begin.replay = ReplayLocked(from);
    begin.frame = begin.replay ? *begin.replay->BeginFor(from) : ResolveFrameLocked(from);
    if (begin.frame >= to)
        return false;
    feed.Attach(history_, std::move(begin), size_t(cfg_.outRate) * kEncoderDelayMs / 1000);
    feed.EndAt(to);
    return true;
}

std::optional<quint64> Stream::EncoderBegin(EncoderHandle id) const {
    std::lock_guard lock(mu_);
    for (const auto& [eid, feed] : encoders_)
        if (eid == id)
            return feed->BeginFrame();
    return std::nullopt;
}

bool Stream::SetEncoderNotify(EncoderHandle id, std::function<void(quint32)> notify) {
    EncoderFeed* feed = nullptr;
    {
        std::lock_guard lock(mu_);
        for (auto& [eid, f] : encoders_)
            if (eid == id)
                feed = f.get();
        if (!feed)
            return false;
        // Under mu_ so the feed cannot be taken out and destroyed meanwhile; the feed reports
        // a death that already happened by posting only, which takes no lock of ours.
        feed->SetNotify(std::move(notify));
    }
    return true;
}

bool Stream::EncoderAlive(EncoderHandle id) const {
    std::lock_guard lock(mu_);
    for (const auto& [eid, feed] : encoders_) {
        if (eid == id)
            return feed->Alive();
    }
    return false;
}

}  // namespace wavelot::audio

namespace wavelot::audio {

void Stream::OnPacket(const uint8_t* data, size_t size, qint64 pos, int64_t duration) {
    packets_->Add(data, size, pos, duration);
}

void Stream::OnCodec(const AVCodecParameters& par, int timeBaseNum, int timeBaseDen) {
    packets_->SetCodec(par, timeBaseNum, timeBaseDen);
    packetCodec_ = packets_->CodecId();
}

int Stream::PacketCodec() const {
    return packetCodec_;
}

void Stream::CopySwitch(EncoderHandle id, const QString& path, const EncodeAt& at) {
    std::lock_guard lock(mu_);
    // With a tail, as for an encoder: from the stream's first frame on, less what the tail holds.
    const quint64 frame = at.frame != kHeardFrame ? at.frame : at.after ? 0 : quint64(heard_);
    if (!copy_) {
        if (path.isEmpty())
            return;
        // Only a stream that keeps its last minutes can give a file packets older than the log.
        copy_ = std::make_unique<CopyFeed>(
            packets_, quint64(cfg_.outRate) * kEncoderDelayMs / 1000,
            cfg_.timeShiftSeconds > 0 ? std::make_shared<BufferPackets>(timeShift_, contentType_) : nullptr);
    }
    copy_->Switch(id, path, frame, history_, at.after);
}

bool Stream::CopyStop(EncoderHandle id) {
    std::lock_guard lock(mu_);
    return copy_ && copy_->Stop(id);
}

bool Stream::SetCopyNotify(EncoderHandle id, std::function<void(quint32)> notify) {
    std::lock_guard lock(mu_);
    return copy_ && copy_->SetNotify(id, std::move(notify));
}

bool Stream::CopyAlive(EncoderHandle id) const {
    std::lock_guard lock(mu_);
    return copy_ && copy_->Has(id);
}

}  // namespace wavelot::audio
