#pragma once
// The part of the audio library the program's playback logic uses (the player, the recorder,
// the stream watchdog and through them the job scheduler): opening and freeing a stream, its
// tags and notifications, volume and equalizer, and the encoders that record it. AudioLibrary
// is the one real implementation; the tests drive the logic through a fake of their own.
//
// Each call behaves as AudioLibrary's of the same name (audio_library.h, which also defines the
// value types and constants named here): a handle of 0 or a freed one fails harmlessly, and
// sync and encoder notifications are queued to the main thread, never called from inside the
// call that causes them.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace wavelot {

namespace audio {
// The audio library's handles and callbacks (audio_library.h has the rest of its types).
using Handle = quint32;
using StreamHandle = Handle;
using SyncHandle = Handle;
using FxHandle = Handle;
using EncoderHandle = Handle;
// A sync callback: the sync's handle, the stream it was set on, and a value of the kind
// (SYNC_STALL: 0 stalled / 1 resumed; otherwise 0).
using SyncProc = std::function<void(SyncHandle sync, StreamHandle stream, quint32 data)>;
// An encoder notification: the encoder and ENCODE_NOTIFY_ENCODER or ENCODE_NOTIFY_FREE.
using EncodeNotifyProc = std::function<void(EncoderHandle encoder, quint32 status)>;
// The end of a StreamConnect: the new stream, or 0 when it failed.
using ConnectDone = std::function<void(StreamHandle stream)>;
struct ChannelInfo;
struct DX8ParamEq;
class AudioTail;
struct EncodeFrom;
}  // namespace audio

class StreamEngine {
public:
    virtual ~StreamEngine() = default;

    virtual bool SetConfigPtr(quint32 option, const char* value) = 0;

    // Blocks until the stream is connected and its first sound decoded, or failed (0).
    virtual audio::StreamHandle StreamCreateURL(const QString& url, quint32 offset, quint32 flags) = 0;
    // The same connect without waiting: done gets the stream (0 on failure) once its first sound
    // is decoded, queued to the main thread, never from inside this call. It is not called when
    // the engine is freed first.
    virtual void StreamConnect(const QString& url, audio::ConnectDone done) = 0;
    virtual bool StreamFree(audio::StreamHandle handle) = 0;
    // Why the connect that finished last failed (audio::ERROR_*), 0 when it succeeded.
    virtual int ErrorGetCode() const { return 0; }

    virtual QByteArray ChannelGetTags(audio::StreamHandle handle, quint32 tags,
                                      quint64* sample = nullptr) const = 0;
    virtual audio::SyncHandle ChannelSetSync(audio::StreamHandle handle, quint32 type, quint64 param,
                                             audio::SyncProc proc) = 0;

    virtual bool ChannelPlay(audio::StreamHandle handle, bool restart) = 0;
    virtual quint32 ChannelIsActive(audio::StreamHandle handle) const = 0;
    // An engine that keeps no sound cannot pause a live stream.
    virtual bool ChannelPause(audio::StreamHandle) { return false; }
    virtual bool ChannelGoLive(audio::StreamHandle) { return false; }
    virtual bool ChannelIsBehindLive(audio::StreamHandle) const { return false; }
    virtual bool ChannelSetAttribute(audio::StreamHandle handle, quint32 attrib, float value) = 0;
    virtual bool ChannelSlideAttribute(audio::StreamHandle handle, quint32 attrib, float value,
                                       quint32 time) = 0;
    virtual bool ChannelGetAttribute(audio::StreamHandle handle, quint32 attrib, float* value) const = 0;
    virtual bool ChannelGetInfo(audio::StreamHandle handle, audio::ChannelInfo* info) const = 0;
    virtual quint64 ChannelGetPosition(audio::StreamHandle handle, quint32 mode) const = 0;
    virtual double ChannelBytes2Seconds(audio::StreamHandle handle, quint64 pos) const = 0;
    virtual audio::AudioTail ChannelGetTail(audio::StreamHandle handle) const = 0;
    virtual quint32 ChannelGetData(audio::StreamHandle handle, float* buffer, quint32 length) const = 0;

    virtual audio::FxHandle ChannelSetFX(audio::StreamHandle handle, quint32 type, int priority) = 0;
    virtual bool ChannelRemoveFX(audio::StreamHandle handle, audio::FxHandle fx) = 0;
    virtual bool FXSetParameters(audio::FxHandle fx, const audio::DX8ParamEq& params) = 0;

    virtual audio::EncoderHandle EncodeSwitch(audio::StreamHandle handle, const QStringList& argv,
                                              quint32 flags, const audio::EncodeFrom& at) = 0;
    virtual bool EncodeStop(audio::Handle handle) = 0;
    virtual bool EncodeSetNotify(audio::EncoderHandle handle, audio::EncodeNotifyProc proc) = 0;
    // The extension of a file holding the stream's own packets (".mp3", ".m4a", ".ogg", ".opus");
    // empty when they cannot be copied, or before the first sound.
    virtual QString ChannelCopyExtension(audio::StreamHandle) const { return {}; }
    // An engine that keeps no sound saves none.
    virtual audio::EncoderHandle EncodeSpan(audio::StreamHandle, const QStringList&, quint32, quint64,
                                            audio::EncodeNotifyProc) {
        return 0;
    }
};

}  // namespace wavelot
