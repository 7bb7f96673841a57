#include "engine/audio/stream.h"

#include "engine/audio/encoder_feed.h"
#include "engine/audio/sound_output.h"

#include <algorithm>
#include <chrono>

namespace wavelot::audio {

namespace {
constexpr size_t kBlockFrames = 1024;
constexpr int kStallMs = 1000;
}  // namespace

qint64 Stream::Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Stream::Stream(StreamConfig config, Notify notify)
    : cfg_(std::move(config)),
      notify_(std::move(notify)),
      ring_(cfg_.ringBytes),
      fifo_(size_t(cfg_.outRate) / 4),
      eq_(cfg_.outRate) {
    timings_.created = Now();
}

Stream::~Stream() {
    RequestStop();
    Join();
}

void Stream::Start() {
    if (cfg_.directUrl.isEmpty()) {
        transport_ = std::make_unique<HttpTransport>(cfg_.transport, ring_, *this);
        transport_->Start();
    }
    decoderThread_ = std::thread([this] { DecoderLoop(); });
    outputThread_ = std::thread([this] { OutputLoop(); });
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
    const quint64 offset = ring_.TotalWritten();
    std::lock_guard lock(mu_);
    pendingMeta_.push_back({offset, meta});
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
    }
    Decoder decoder(*this, cfg_.outRate);
    decoder.Run(type, cfg_.directUrl, cfg_.transport.timeoutMs);
    SetState(ConnectState::Failed);  // no effect once Ready
    fifo_.SetEnd();
}

size_t Stream::ReadInput(char* out, size_t max) {
    const size_t n = ring_.Read(out, max);
    readTotal_ += n;
    bool fire = false;
    {
        std::lock_guard lock(mu_);
        while (!pendingMeta_.empty() && pendingMeta_.front().offset <= readTotal_) {
            meta_ = pendingMeta_.front().meta;
            pendingMeta_.erase(pendingMeta_.begin());
            fire = true;
        }
    }
    if (fire)
        notify_(SYNC_META, 0);
    return n;
}

void Stream::OnFormat(const SourceFormat& format) {
    std::lock_guard lock(mu_);
    format_ = format;
}

void Stream::OnTags(quint32 kind, const QByteArray& tags, bool chainLink) {
    {
        std::lock_guard lock(mu_);
        QByteArray& slot = kind == TAG_OGG ? oggTags_ : wmaTags_;
        slot = tags;
    }
    if (chainLink) {
        notify_(SYNC_META, 0);
        notify_(SYNC_OGG_CHANGE, 0);
    }
}

bool Stream::OnPcm(float* frames, size_t count) {
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
    eq_.Process(frames, count);
    {
        std::lock_guard lock(mu_);
        for (auto& [id, feed] : encoders_)
            feed->Push(frames, count);
    }
    if (!fifo_.Push(frames, count))
        return false;
    SetState(ConnectState::Ready);
    return true;
}

// --- output thread ---

void Stream::OutputLoop() {
    std::unique_ptr<SoundOutput> out;
    std::vector<float> buf(kBlockFrames * 2);
    std::chrono::steady_clock::time_point starvedSince{};
    bool prebuffered = cfg_.prebufPercent <= 0;
    while (!abort_) {
        {
            std::unique_lock lock(mu_);
            cv_.wait(lock, [&] { return abort_ || playing_; });
        }
        if (abort_)
            break;
        if (!out) {
            if (cfg_.soundServer)
                out = OpenPulseOutput(cfg_.outRate, QByteArrayLiteral("Radio"));
            if (!out)
                out = OpenSilentOutput(cfg_.outRate);
        }
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
        const size_t n = fifo_.Pop(buf.data(), kBlockFrames, 50);
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
    }
}

// --- any thread ---

QByteArray Stream::Tags(quint32 kind) const {
    std::lock_guard lock(mu_);
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
    return true;
}

bool Stream::StopPlaying() {
    std::lock_guard lock(mu_);
    playing_ = false;
    paused_ = false;
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
}

void Stream::SlideVolume(float v, quint32 ms) {
    std::lock_guard lock(mu_);
    volume_.Slide(v, quint64(ms) * quint64(cfg_.outRate) / 1000);
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

void Stream::AddEncoder(EncoderHandle id, std::unique_ptr<EncoderFeed> feed) {
    std::lock_guard lock(mu_);
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
                                                               std::unique_ptr<EncoderFeed> feed) {
    std::vector<std::unique_ptr<EncoderFeed>> out;
    std::lock_guard lock(mu_);
    for (auto& [eid, old] : encoders_)
        out.push_back(std::move(old));
    encoders_.clear();
    if (feed)
        encoders_.emplace_back(id, std::move(feed));
    return out;
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
