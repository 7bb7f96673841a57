#include "engine/audio/audio_library.h"

#include "engine/audio/backend.h"
#include "engine/audio/copy_feed.h"
#include "engine/audio/encoder_feed.h"
#include "engine/audio/sound_output.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <chrono>

namespace wavelot {

using namespace audio;

namespace {

bool IsDirectScheme(const QByteArray& url) {
    const QByteArray l = url.left(8).toLower();
    return l.startsWith("mms://") || l.startsWith("mmsh://") || l.startsWith("mmst://");
}

// libavformat knows mmsh and mmst, not the plain mms scheme: HTTP first, as players do.
QByteArray DirectUrl(const QByteArray& url) {
    if (url.left(6).toLower() == "mms://")
        return "mmsh://" + url.mid(6);
    return url;
}

}  // namespace

static_assert(AudioLibrary::kEncoderStallSeconds == EncoderFeed::kMaxStallSeconds);

AudioLibrary::AudioLibrary()
    : backend_(std::make_unique<Backend>()), retirer_(std::make_unique<FeedRetirer>()) {}

AudioLibrary::~AudioLibrary() {
    Free();
}

bool AudioLibrary::Init(int device, quint32 freq, quint32) {
    if (backend_->initialised || freq < 8000 || freq > 192000 || device < -1)
        return false;
    backend_->outRate = int(freq);
    backend_->soundServer = device != 0 && SoundServerAnswers();
    if (!backend_->dispatcher)
        backend_->dispatcher = new QObject;
    if (backend_->dispatcher->thread() != QThread::currentThread())
        backend_->dispatcher->moveToThread(QThread::currentThread());
    backend_->initialised = true;
    return true;
}

bool AudioLibrary::Free() {
    if (!backend_->initialised)
        return false;
    retirer_->Drain();
    backend_->Shutdown();
    backend_->initialised = false;
    return true;
}

bool AudioLibrary::UsingSoundServer() const {
    return backend_->soundServer;
}

bool AudioLibrary::PluginFree(PluginHandle) {
    return true;
}

bool AudioLibrary::SetConfig(quint32 option, quint32 value) {
    std::lock_guard lock(backend_->mu);
    Config& c = backend_->config;
    switch (option) {
    case CONFIG_NET_TIMEOUT: c.timeoutMs = std::max<quint32>(value, 100); return true;
    case CONFIG_NET_BUFFER: c.bufferMs = std::clamp<quint32>(value, 1000, 120000); return true;
    case CONFIG_NET_PREBUF: c.prebufPercent = std::min<quint32>(value, 100); return true;
    case CONFIG_NET_PLAYLIST: c.playlist = value; return true;
    case CONFIG_TIME_SHIFT: c.timeShiftMinutes = std::min<quint32>(value, 240); return true;
    case CONFIG_NET_HLS_MAX_KBPS: c.hlsMaxKbps = int(std::min<quint32>(value, 1000000)); return true;
    default: return false;
    }
}

bool AudioLibrary::SetConfigPtr(quint32 option, const char* value) {
    std::lock_guard lock(backend_->mu);
    Config& c = backend_->config;
    switch (option) {
    case CONFIG_NET_PROXY:
        if (value)
            c.proxy = QByteArray(value);
        else
            c.proxy.reset();
        return true;
    case CONFIG_NET_AGENT: c.agent = value ? QByteArray(value) : QByteArray(); return true;
    case CONFIG_SILENT_OUTPUT: c.silent = value != nullptr; return true;
    default: return false;
    }
}

std::shared_ptr<Stream> AudioLibrary::BeginConnect(const QString& url, StreamHandle& handle, int& limitMs) {
    Backend& b = *backend_;
    if (!b.initialised || url.isEmpty())
        return nullptr;
    StreamConfig cfg;
    const QByteArray u = url.toUtf8();
    int timeoutMs = 10000;
    {
        std::lock_guard lock(b.mu);
        const Config& c = b.config;
        timeoutMs = int(c.timeoutMs);
        cfg.transport.timeoutMs = timeoutMs;
        cfg.transport.followPlaylists = c.playlist != 0;
        cfg.transport.noProxy = !c.proxy.has_value();
        cfg.transport.proxy = c.proxy.value_or(QByteArray());
        cfg.transport.agent = c.agent;
        cfg.transport.hlsMaxKbps = c.hlsMaxKbps;
        // The buffer holds bufferMs of the fastest common stream (320 kbit/s).
        cfg.ringBytes = size_t(c.bufferMs) * 40;
        cfg.prebufPercent = int(c.prebufPercent);
        cfg.stallLimitMs = timeoutMs;
        // A stream nobody hears is never paused nor saved from: it keeps no received sound.
        cfg.timeShiftSeconds = c.silent ? 0 : int(c.timeShiftMinutes) * 60;
        cfg.soundServer = b.soundServer && !c.silent;
        cfg.unheard = c.silent;
    }
    if (IsDirectScheme(u))
        cfg.directUrl = DirectUrl(u);
    else if (u.left(7).toLower() == "http://" || u.left(8).toLower() == "https://")
        cfg.transport.url = u;
    else
        return nullptr;
    cfg.outRate = b.outRate;

    // The handle is reserved now so that syncs posted before the caller gets it are stamped right.
    {
        std::lock_guard lock(b.mu);
        handle = b.NewHandle();
    }
    auto stream = std::make_shared<Stream>(
        std::move(cfg), [&b, handle](quint32 kind, quint32 data) { b.Post(handle, kind, data); });
    {
        std::lock_guard lock(b.mu);
        b.connecting.insert(stream);
    }
    // The whole connect, playlist entries and the first decoded sound included, has the time-out:
    // an answer that drips, does not decode, or lists addresses that never answer ends with it.
    limitMs = timeoutMs;
    return stream;
}

StreamHandle AudioLibrary::EndConnect(std::shared_ptr<Stream> stream, StreamHandle handle) {
    Backend& b = *backend_;
    bool ok = stream->State() == Stream::ConnectState::Ready;
    {
        std::lock_guard lock(b.mu);
        b.connecting.erase(stream);
        ok = ok && b.initialised;
        if (ok)
            b.streams[handle] = stream;
    }
    error_ = ok ? 0 : stream->Encrypted() ? ERROR_ENCRYPTED : ERROR_UNKNOWN;
    if (!ok) {
        b.Reap(std::move(stream));
        return 0;
    }
    return handle;
}

StreamHandle AudioLibrary::StreamCreateURL(const QString& url, quint32, quint32) {
    StreamHandle handle = 0;
    int limitMs = 0;
    std::shared_ptr<Stream> stream = BeginConnect(url, handle, limitMs);
    if (!stream)
        return 0;
    stream->Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (stream->State() == Stream::ConnectState::Connecting && std::chrono::steady_clock::now() < deadline)
        QThread::msleep(2);
    return EndConnect(std::move(stream), handle);
}

void AudioLibrary::StreamConnect(const QString& url, ConnectDone done) {
    // What one connect in progress holds. Its time-out timer owns it; the stream's waker only
    // refers to it, so a connect the library outlives is dropped with the dispatcher.
    struct Pending {
        std::shared_ptr<Stream> stream;
        StreamHandle handle = 0;
        ConnectDone done;
        QTimer* limit = nullptr;
    };
    Backend& b = *backend_;
    auto pending = std::make_shared<Pending>();
    int limitMs = 0;
    pending->stream = BeginConnect(url, pending->handle, limitMs);
    pending->done = std::move(done);
    QObject* const dispatcher = b.dispatcher;
    if (!pending->stream || !dispatcher) {
        if (dispatcher)
            QMetaObject::invokeMethod(
                dispatcher, [pending] { pending->done(0); }, Qt::QueuedConnection);
        return;
    }
    const auto finish = [this](const std::shared_ptr<Pending>& p) {
        if (!p->limit)
            return;  // finished already
        p->stream->SetStateWaker({});
        p->limit->stop();
        p->limit->deleteLater();
        p->limit = nullptr;
        const StreamHandle h = EndConnect(std::move(p->stream), p->handle);
        const ConnectDone call = std::move(p->done);
        if (call)
            call(h);
    };
    pending->limit = new QTimer(dispatcher);
    pending->limit->setSingleShot(true);
    QObject::connect(pending->limit, &QTimer::timeout, dispatcher, [pending, finish] { finish(pending); });
    const std::weak_ptr<Pending> weak = pending;
    pending->stream->SetStateWaker([dispatcher, weak, finish] {
        QMetaObject::invokeMethod(
            dispatcher,
            [weak, finish] {
                if (const auto p = weak.lock())
                    finish(p);
            },
            Qt::QueuedConnection);
    });
    pending->stream->Start();
    pending->limit->start(limitMs);
}

bool AudioLibrary::StreamFree(StreamHandle handle) {
    return backend_->Release(handle);
}

QByteArray AudioLibrary::ChannelGetTags(StreamHandle handle, quint32 tags, quint64* sample) const {
    auto s = backend_->Find(handle);
    return s ? s->Tags(tags, sample) : QByteArray();
}

SyncHandle AudioLibrary::ChannelSetSync(StreamHandle handle, quint32 type, quint64, SyncProc proc) {
    const quint32 kind = type & 0x00FFFFFFu;
    if (kind != SYNC_META && kind != SYNC_END && kind != SYNC_STALL && kind != SYNC_OGG_CHANGE)
        return 0;
    std::lock_guard lock(backend_->mu);
    if (!backend_->streams.count(handle))
        return 0;
    SyncHandle h = backend_->NewHandle();
    backend_->syncs[h] = SyncEntry{handle, kind, (type & SYNC_ONETIME) != 0, std::move(proc)};
    return h;
}

bool AudioLibrary::ChannelRemoveSync(StreamHandle handle, SyncHandle sync) {
    std::lock_guard lock(backend_->mu);
    auto it = backend_->syncs.find(sync);
    if (it == backend_->syncs.end() || it->second.stream != handle)
        return false;
    backend_->syncs.erase(it);
    return true;
}

bool AudioLibrary::ChannelPlay(StreamHandle handle, bool) {
    auto s = backend_->Find(handle);
    return s && s->Play();
}

bool AudioLibrary::ChannelPause(StreamHandle handle) {
    auto s = backend_->Find(handle);
    return s && s->Pause();
}

bool AudioLibrary::ChannelGoLive(StreamHandle handle) {
    auto s = backend_->Find(handle);
    return s && s->GoLive();
}

bool AudioLibrary::ChannelIsBehindLive(StreamHandle handle) const {
    auto s = backend_->Find(handle);
    return s && s->BehindLive();
}

quint32 AudioLibrary::ChannelIsActive(StreamHandle handle) const {
    auto s = backend_->Find(handle);
    return s ? s->Active() : ACTIVE_STOPPED;
}

bool AudioLibrary::ChannelSetAttribute(StreamHandle handle, quint32 attrib, float value) {
    auto s = backend_->Find(handle);
    if (!s || attrib != ATTRIB_VOL)
        return false;
    s->SetVolume(value);
    return true;
}

bool AudioLibrary::ChannelSlideAttribute(StreamHandle handle, quint32 attrib, float value, quint32 time) {
    auto s = backend_->Find(handle);
    if (!s || attrib != ATTRIB_VOL)
        return false;
    s->SlideVolume(value, time);
    return true;
}

bool AudioLibrary::ChannelGetAttribute(StreamHandle handle, quint32 attrib, float* value) const {
    auto s = backend_->Find(handle);
    if (!s || !value)
        return false;
    if (attrib == ATTRIB_VOL) {
        *value = s->Volume();
        return true;
    }
    if (attrib == ATTRIB_FREQ) {
        *value = float(s->Format().freq);
        return true;
    }
    if (attrib == ATTRIB_BITRATE) {
        *value = float(s->Format().kbps);
        return true;
    }
    return false;
}

bool AudioLibrary::ChannelIsSliding(StreamHandle handle, quint32 attrib) const {
    auto s = backend_->Find(handle);
    return s && attrib == ATTRIB_VOL && s->Sliding();
}

bool AudioLibrary::ChannelGetInfo(StreamHandle handle, ChannelInfo* info) const {
    auto s = backend_->Find(handle);
    if (!s || !info)
        return false;
    const SourceFormat f = s->Format();
    info->freq = quint32(f.freq);
    info->chans = quint32(f.chans);
    info->flags = SAMPLE_FLOAT;
    info->ctype = f.ctype;
    info->origres = quint32(std::max(f.origres, 0));
    return true;
}

quint64 AudioLibrary::ChannelGetPosition(StreamHandle handle, quint32 mode) const {
    auto s = backend_->Find(handle);
    if (!s || mode != POS_BYTE)
        return quint64(-1);
    return s->PositionBytes();
}

double AudioLibrary::ChannelBytes2Seconds(StreamHandle handle, quint64 pos) const {
    auto s = backend_->Find(handle);
    if (!s || pos == quint64(-1))
        return -1;
    return s->BytesToSeconds(pos);
}

quint32 AudioLibrary::ChannelGetData(StreamHandle handle, float* buffer, quint32 length) const {
    auto s = backend_->Find(handle);
    if (!s)
        return ERROR_RESULT;
    if (length == DATA_AVAILABLE)
        return quint32(s->BufferedBytes());
    if (length >= DATA_FFT256 && length <= DATA_FFT8192 && buffer) {
        const size_t n = size_t(256) << (length - DATA_FFT256);
        return s->Spectrum(n, buffer) ? quint32(n / 2 * sizeof(float)) : ERROR_RESULT;
    }
    return ERROR_RESULT;
}

FxHandle AudioLibrary::ChannelSetFX(StreamHandle handle, quint32 type, int priority) {
    if (type != FX_DX8_PARAMEQ)
        return 0;
    auto s = backend_->Find(handle);
    if (!s)
        return 0;
    FxHandle h = 0;
    {
        std::lock_guard lock(backend_->mu);
        h = backend_->NewHandle();
        backend_->fx[h] = handle;
    }
    s->AddBand(h, priority);
    return h;
}

bool AudioLibrary::ChannelRemoveFX(StreamHandle handle, FxHandle fx) {
    std::shared_ptr<Stream> s;
    {
        std::lock_guard lock(backend_->mu);
        auto it = backend_->fx.find(fx);
        if (it == backend_->fx.end() || it->second != handle)
            return false;
        backend_->fx.erase(it);
        auto st = backend_->streams.find(handle);
        if (st != backend_->streams.end())
            s = st->second;
    }
    return s && s->RemoveBand(fx);
}

bool AudioLibrary::FXSetParameters(FxHandle fx, const DX8ParamEq& params) {
    auto s = backend_->FindFxOwner(fx);
    return s && s->SetBand(fx, params);
}

bool AudioLibrary::FXGetParameters(FxHandle fx, DX8ParamEq* params) const {
    auto s = backend_->FindFxOwner(fx);
    return s && params && s->GetBand(fx, params);
}

namespace {

// Taken before the encoder's program is started: a file asked to begin at what is heard begins at
// what was heard when it was asked for, not at what is heard once the program runs.
Stream::EncodeAt StreamEncodeAt(const Stream& s, const EncodeFrom& from,
                                const std::shared_ptr<const TailData>& tail) {
    if (from.sample != SAMPLE_HEARD_NOW)
        return {from.sample, tail, from.rewind};
    return {tail ? Stream::kHeardFrame : s.HeardFrame(), tail, from.rewind};
}

}  // namespace

double AudioTail::Seconds() const {
    return data_ && data_->rate > 0 ? double(data_->mono.size()) / data_->rate : 0.0;
}

quint64 AudioLibrary::ChannelGetSample(StreamHandle handle, quint32 which) const {
    auto s = backend_->Find(handle);
    if (!s || (which != SAMPLE_DECODED && which != SAMPLE_HEARD))
        return quint64(-1);
    return which == SAMPLE_DECODED ? s->DecodedFrames() : s->HeardFrame();
}

AudioTail AudioLibrary::ChannelGetTail(StreamHandle handle) const {
    AudioTail tail;
    if (auto s = backend_->Find(handle))
        tail.data_ = s->Tail();
    return tail;
}

size_t AudioLibrary::ChannelGetTimeShiftBytes(StreamHandle handle) const {
    auto s = backend_->Find(handle);
    return s ? s->TimeShiftBytes() : 0;
}

StreamMemory AudioLibrary::ChannelGetMemory(StreamHandle handle) const {
    auto s = backend_->Find(handle);
    if (!s)
        return {};
    return {s->RingBytes(), s->HistoryBytes()};
}

EncoderHandle AudioLibrary::EncodeStart(StreamHandle handle, const QStringList& argv, quint32 flags,
                                        const EncodeFrom& from) {
    auto s = backend_->Find(handle);
    if (!s)
        return 0;
    const Stream::EncodeAt begin = StreamEncodeAt(*s, from, from.after.data_);
    auto feed = EncoderFeed::Start(argv, s->OutRate(), (flags & ENCODE_NOHEAD) == 0);
    if (!feed)
        return 0;
    EncoderHandle h = 0;
    {
        std::lock_guard lock(backend_->mu);
        if (backend_->streams.count(handle)) {
            h = backend_->NewHandle();
            backend_->encoders[h] = handle;
        }
    }
    if (!h) {  // freed meanwhile
        retirer_->Retire(std::move(feed));
        return 0;
    }
    s->AddEncoder(h, std::move(feed), begin);
    return h;
}

EncoderHandle AudioLibrary::EncodeSwitch(StreamHandle handle, const QStringList& argv, quint32 flags,
                                         const EncodeFrom& at) {
    auto s = backend_->Find(handle);
    if (!s)
        return 0;
    const Stream::EncodeAt begin = StreamEncodeAt(*s, at, at.after.data_);
    if (flags & ENCODE_COPY)
        return CopySwitch(handle, argv.value(0), at);
    // Started before the switch, so the sound waits for no program start-up.
    auto feed = EncoderFeed::Start(argv, s->OutRate(), (flags & ENCODE_NOHEAD) == 0);
    EncoderHandle h = 0;
    {
        std::lock_guard lock(backend_->mu);
        if (!backend_->streams.count(handle)) {
            retirer_->Retire(std::move(feed));  // freed meanwhile
            return 0;
        }
        std::erase_if(backend_->encoders, [handle](const auto& kv) { return kv.second == handle; });
        if (feed) {
            h = backend_->NewHandle();
            backend_->encoders[h] = handle;
        }
    }
    for (auto& old : s->SwapEncoders(h, std::move(feed), begin))
        retirer_->Retire(std::move(old));
    s->CopySwitch(0, QString(), begin);
    return h;
}

EncoderHandle AudioLibrary::CopySwitch(StreamHandle handle, const QString& file, const EncodeFrom& at) {
    auto s = backend_->Find(handle);
    if (!s || CopyContainerFor(s->PacketCodec()) == CopyContainer::kNone)
        return 0;
    const Stream::EncodeAt begin = StreamEncodeAt(*s, at, at.after.data_);
    EncoderHandle h = 0;
    {
        std::lock_guard lock(backend_->mu);
        if (!backend_->streams.count(handle))
            return 0;
        std::erase_if(backend_->encoders, [handle](const auto& kv) { return kv.second == handle; });
        if (!file.isEmpty()) {
            h = backend_->NewHandle();
            backend_->encoders[h] = handle;
        }
    }
    for (auto& old : s->SwapEncoders(0, nullptr, begin))
        retirer_->Retire(std::move(old));
    s->CopySwitch(h, file, begin);
    return h;
}

QString AudioLibrary::ChannelCopyExtension(StreamHandle handle) const {
    auto s = backend_->Find(handle);
    return s ? CopyExtension(CopyContainerFor(s->PacketCodec())) : QString();
}

EncoderHandle AudioLibrary::EncodeSpan(StreamHandle handle, const QStringList& argv, quint32 flags,
                                       quint64 seconds, EncodeNotifyProc proc) {
    auto s = backend_->Find(handle);
    if (!s || seconds == 0)
        return 0;
    const quint64 to = s->HeardFrame();
    const quint64 span = seconds * quint64(s->OutRate());
    auto feed = EncoderFeed::Start(argv, s->OutRate(), (flags & ENCODE_NOHEAD) == 0);
    if (!feed)
        return 0;
    EncoderHandle h = 0;
    if (s->FeedSpan(*feed, to > span ? to - span : 0, to)) {
        {
            std::lock_guard lock(backend_->mu);
            h = backend_->NewHandle();
        }
        auto shared = std::make_shared<const EncodeNotifyProc>(std::move(proc));
        Backend* backend = backend_.get();
        feed->SetNotify([backend, shared, h](quint32 kind) { backend->PostEncoderNotify(shared, h, kind); });
    }
    // Its input already ends with the span: it is retired at once and finishes by itself.
    retirer_->Retire(std::move(feed));
    return h;
}

quint64 AudioLibrary::EncodeGetBegin(EncoderHandle handle) const {
    std::shared_ptr<Stream> s;
    {
        std::lock_guard lock(backend_->mu);
        auto enc = backend_->encoders.find(handle);
        if (enc == backend_->encoders.end())
            return quint64(-1);
        auto st = backend_->streams.find(enc->second);
        if (st != backend_->streams.end())
            s = st->second;
    }
    const std::optional<quint64> begin = s ? s->EncoderBegin(handle) : std::nullopt;
    return begin.value_or(quint64(-1));
}

bool AudioLibrary::EncodeSetNotify(EncoderHandle handle, EncodeNotifyProc proc) {
    std::shared_ptr<Stream> s;
    {
        std::lock_guard lock(backend_->mu);
        auto enc = backend_->encoders.find(handle);
        if (enc == backend_->encoders.end())
            return false;
        auto st = backend_->streams.find(enc->second);
        if (st != backend_->streams.end())
            s = st->second;
    }
    if (!s)
        return false;
    auto shared = std::make_shared<const EncodeNotifyProc>(std::move(proc));
    Backend* backend = backend_.get();
    const auto post = [backend, shared, handle](quint32 kind) {
        backend->PostEncoderNotify(shared, handle, kind);
    };
    return s->SetEncoderNotify(handle, post) || s->SetCopyNotify(handle, post);
}

bool AudioLibrary::EncodeStop(Handle handle) {
    std::shared_ptr<Stream> s;
    EncoderHandle which = 0;
    {
        std::lock_guard lock(backend_->mu);
        auto enc = backend_->encoders.find(handle);
        if (enc != backend_->encoders.end()) {
            which = handle;
            auto st = backend_->streams.find(enc->second);
            if (st != backend_->streams.end())
                s = st->second;
            backend_->encoders.erase(enc);
        } else {
            auto st = backend_->streams.find(handle);
            if (st == backend_->streams.end())
                return false;
            s = st->second;
            std::erase_if(backend_->encoders, [handle](const auto& kv) { return kv.second == handle; });
        }
    }
    if (!s)
        return false;
    auto feeds = s->TakeEncoders(which);
    const bool copied = s->CopyStop(which);
    const bool any = !feeds.empty() || copied;
    for (auto& feed : feeds)
        retirer_->Retire(std::move(feed));
    return which == 0 || any;
}

quint32 AudioLibrary::EncodeIsActive(Handle handle) const {
    std::shared_ptr<Stream> s;
    {
        std::lock_guard lock(backend_->mu);
        auto enc = backend_->encoders.find(handle);
        if (enc == backend_->encoders.end())
            return ACTIVE_STOPPED;
        auto st = backend_->streams.find(enc->second);
        if (st != backend_->streams.end())
            s = st->second;
    }
    return s && (s->EncoderAlive(handle) || s->CopyAlive(handle)) ? ACTIVE_PLAYING : ACTIVE_STOPPED;
}

StreamTimings AudioLibrary::ChannelGetTimings(StreamHandle handle) const {
    auto s = backend_->Find(handle);
    return s ? s->Timings() : StreamTimings{};
}

}  // namespace wavelot
