#include "tests/support/fake_stream_engine.h"

#include <algorithm>

namespace wavelot::test {

using namespace audio;

void FakeStreamEngine::SetTitle(StreamHandle stream, const QString& title, quint64 frame) {
    const auto s = streams_.find(stream);
    if (s == streams_.end())
        return;
    s->second.meta = "StreamTitle='" + title.toUtf8() + "';";
    s->second.metaAt = frame;
    Fire(stream, SYNC_META);
}

void FakeStreamEngine::End(StreamHandle stream) {
    const auto s = streams_.find(stream);
    if (s == streams_.end() || s->second.ended)
        return;
    s->second.ended = true;
    Fire(stream, SYNC_END);
}

void FakeStreamEngine::EncoderEnds(EncoderHandle encoder, bool stalled) {
    if (encoders.contains(encoder))
        Notify(encoder, stalled ? ENCODE_NOTIFY_STALLED : ENCODE_NOTIFY_ENCODER);
}

void FakeStreamEngine::Fire(StreamHandle stream, quint32 type) {
    for (const auto& [kind, proc] : streams_[stream].syncs) {
        if ((kind & ~SYNC_ONETIME) != type)
            continue;
        const SyncProc call = proc;
        QMetaObject::invokeMethod(
            &queue_,
            [this, stream, call] {
                if (streams_.contains(stream))
                    call(0, stream, 0);
            },
            Qt::QueuedConnection);
    }
}

void FakeStreamEngine::Notify(EncoderHandle encoder, quint32 status) {
    const EncodeNotifyProc call = encoders[encoder].notify;
    if (call)
        QMetaObject::invokeMethod(
            &queue_, [encoder, status, call] { call(encoder, status); }, Qt::QueuedConnection);
}

void FakeStreamEngine::StopEncoder(EncoderHandle encoder) {
    Encoder& e = encoders[encoder];
    if (e.stopped)
        return;
    e.stopped = true;
    Notify(encoder, ENCODE_NOTIFY_FREE);
}

bool FakeStreamEngine::SetConfigPtr(quint32, const char*) {
    return true;
}

StreamHandle FakeStreamEngine::StreamCreateURL(const QString& url, quint32, quint32) {
    connects.append(url);
    return Open(url);
}

StreamHandle FakeStreamEngine::Open(const QString& url) {
    if (down.contains(url))
        return 0;
    const StreamHandle h = ++last_;
    Stream& s = streams_[h];
    if (titles.contains(url))
        s.meta = "StreamTitle='" + titles[url].toUtf8() + "';";
    return h;
}

void FakeStreamEngine::StreamConnect(const QString& url, ConnectDone done) {
    connects.append(url);
    QMetaObject::invokeMethod(
        &queue_, [this, url, done] { done(Open(url)); }, Qt::QueuedConnection);
}

bool FakeStreamEngine::StreamFree(StreamHandle handle) {
    if (!streams_.erase(handle))
        return false;
    for (auto& [h, e] : encoders)
        if (e.stream == handle)
            StopEncoder(h);
    return true;
}

QByteArray FakeStreamEngine::ChannelGetTags(StreamHandle handle, quint32 tags, quint64* sample) const {
    const auto s = streams_.find(handle);
    if (s == streams_.end())
        return {};
    if (sample)
        *sample = tags == TAG_META ? s->second.metaAt : 0;
    if (tags == TAG_META)
        return s->second.meta.isEmpty() ? QByteArray() : s->second.meta;
    const bool icy = header.startsWith("ICY");
    return (tags == TAG_ICY && icy) || (tags == TAG_HTTP && !icy) ? header : QByteArray();
}

SyncHandle FakeStreamEngine::ChannelSetSync(StreamHandle handle, quint32 type, quint64, SyncProc proc) {
    const auto s = streams_.find(handle);
    if (s == streams_.end())
        return 0;
    s->second.syncs.emplace_back(type, std::move(proc));
    return ++last_;
}

bool FakeStreamEngine::ChannelPlay(StreamHandle handle, bool) {
    const auto s = streams_.find(handle);
    return s != streams_.end() && (s->second.playing = true);
}

quint32 FakeStreamEngine::ChannelIsActive(StreamHandle handle) const {
    const auto s = streams_.find(handle);
    return s != streams_.end() && s->second.playing && !s->second.ended ? ACTIVE_PLAYING : ACTIVE_STOPPED;
}

bool FakeStreamEngine::ChannelSetAttribute(StreamHandle handle, quint32 attrib, float value) {
    const auto s = streams_.find(handle);
    if (s == streams_.end() || attrib != ATTRIB_VOL)
        return false;
    s->second.volume = std::clamp(value, 0.0f, 1.0f);
    return true;
}

bool FakeStreamEngine::ChannelSlideAttribute(StreamHandle handle, quint32 attrib, float value, quint32) {
    return ChannelSetAttribute(handle, attrib, value);
}

bool FakeStreamEngine::ChannelGetAttribute(StreamHandle handle, quint32 attrib, float* value) const {
    const auto s = streams_.find(handle);
    if (s == streams_.end())
        return false;
    *value = attrib == ATTRIB_VOL ? s->second.volume : attrib == ATTRIB_FREQ ? 44100.0f : 128.0f;
    return true;
}

bool FakeStreamEngine::ChannelGetInfo(StreamHandle handle, ChannelInfo* info) const {
    if (!streams_.contains(handle))
        return false;
    *info = {.freq = 44100, .chans = 2, .flags = SAMPLE_FLOAT, .ctype = CTYPE_STREAM_MP3, .origres = 0};
    return true;
}

quint64 FakeStreamEngine::ChannelGetPosition(StreamHandle handle, quint32) const {
    return streams_.contains(handle) ? 0 : quint64(ERROR_RESULT);
}

double FakeStreamEngine::ChannelBytes2Seconds(StreamHandle handle, quint64) const {
    return streams_.contains(handle) ? 0.0 : -1.0;
}

AudioTail FakeStreamEngine::ChannelGetTail(StreamHandle) const {
    return {};
}

quint32 FakeStreamEngine::ChannelGetData(StreamHandle, float*, quint32) const {
    return ERROR_RESULT;
}

FxHandle FakeStreamEngine::ChannelSetFX(StreamHandle handle, quint32, int) {
    return streams_.contains(handle) ? ++last_ : 0;
}

bool FakeStreamEngine::ChannelRemoveFX(StreamHandle handle, FxHandle fx) {
    return streams_.contains(handle) && fx != 0;
}

bool FakeStreamEngine::FXSetParameters(FxHandle fx, const DX8ParamEq&) {
    return fx != 0;
}

EncoderHandle FakeStreamEngine::EncodeSwitch(StreamHandle handle, const QStringList& argv, quint32,
                                             const EncodeFrom& at) {
    if (!streams_.contains(handle))
        return 0;
    for (auto& [h, e] : encoders)
        if (e.stream == handle)
            StopEncoder(h);
    if (argv.isEmpty() || encodersFail)
        return 0;
    const EncoderHandle h = ++last_;
    encoders[h] = {.stream = handle, .argv = argv, .from = at.sample};
    return h;
}

bool FakeStreamEngine::EncodeStop(Handle handle) {
    bool any = false;
    for (auto& [h, e] : encoders) {
        if (h == handle || e.stream == handle) {
            any = any || !e.stopped;
            StopEncoder(h);
        }
    }
    return any;
}

bool FakeStreamEngine::EncodeSetNotify(EncoderHandle handle, EncodeNotifyProc proc) {
    const auto e = encoders.find(handle);
    if (e == encoders.end())
        return false;
    e->second.notify = std::move(proc);
    return true;
}

}  // namespace wavelot::test
