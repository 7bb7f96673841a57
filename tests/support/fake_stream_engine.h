#pragma once
// A stream engine without sound, network or programs, for tests of the playback logic. A connect
// succeeds at once unless its address is listed as down; a stream plays from ChannelPlay until
// the test ends it; its title is what the test last set, with the frame it begins at. The
// notifications come as the real library's do: queued to the main thread, a stream's syncs
// dropped once it is freed, an encoder's end notifications delivered also after that. Encoders
// only record what they were asked.

#include <QHash>
#include <QObject>
#include <QSet>

#include <map>
#include <vector>

#include "engine/audio/audio_library.h"
#include "engine/audio/stream_engine.h"

namespace wavelot::test {

class FakeStreamEngine final : public StreamEngine {
public:
    struct Encoder {
        audio::StreamHandle stream = 0;
        QStringList argv;      // as asked: argv[0] the program, the output file among the rest
        quint64 from = 0;      // the frame asked for (SAMPLE_HEARD_NOW: what is heard at the call)
        bool stopped = false;  // ended by EncodeStop, EncodeSwitch or its stream's free
        audio::EncodeNotifyProc notify;
    };

    // What a connect answers: addresses that fail, the header block of every stream (TAG_ICY
    // when it begins with "ICY", else TAG_HTTP), the title a stream of an address begins with.
    QSet<QString> down;
    QByteArray header = QByteArray("ICY 200 OK\0icy-name:Fake FM\0\0", 30);
    QHash<QString, QString> titles;
    // Every encoder program fails to start.
    bool encodersFail = false;

    // The title changes at the stream's frame `frame` (ICY metadata; SYNC_META follows).
    void SetTitle(audio::StreamHandle stream, const QString& title, quint64 frame);
    // The stream ends by itself (SYNC_END follows).
    void End(audio::StreamHandle stream);
    // The encoder's program ends by itself, or hangs and is killed (stalled).
    void EncoderEnds(audio::EncoderHandle encoder, bool stalled);

    QStringList connects;                              // addresses asked for, in order
    std::map<audio::EncoderHandle, Encoder> encoders;  // every encoder started, by handle
    const Encoder* LastEncoder() const { return encoders.empty() ? nullptr : &encoders.rbegin()->second; }
    int Streams() const { return int(streams_.size()); }  // not yet freed

    bool SetConfigPtr(quint32 option, const char* value) override;
    audio::StreamHandle StreamCreateURL(const QString& url, quint32 offset, quint32 flags) override;
    // Asked for at the call (connects), answered on the next turn of the event loop.
    void StreamConnect(const QString& url, audio::ConnectDone done) override;
    bool StreamFree(audio::StreamHandle handle) override;
    QByteArray ChannelGetTags(audio::StreamHandle handle, quint32 tags,
                              quint64* sample = nullptr) const override;
    audio::SyncHandle ChannelSetSync(audio::StreamHandle handle, quint32 type, quint64 param,
                                     audio::SyncProc proc) override;
    bool ChannelPlay(audio::StreamHandle handle, bool restart) override;
    quint32 ChannelIsActive(audio::StreamHandle handle) const override;
    bool ChannelSetAttribute(audio::StreamHandle handle, quint32 attrib, float value) override;
    bool ChannelSlideAttribute(audio::StreamHandle handle, quint32 attrib, float value,
                               quint32 time) override;
    bool ChannelGetAttribute(audio::StreamHandle handle, quint32 attrib, float* value) const override;
    bool ChannelGetInfo(audio::StreamHandle handle, audio::ChannelInfo* info) const override;
    quint64 ChannelGetPosition(audio::StreamHandle handle, quint32 mode) const override;
    double ChannelBytes2Seconds(audio::StreamHandle handle, quint64 pos) const override;
    audio::AudioTail ChannelGetTail(audio::StreamHandle handle) const override;
    quint32 ChannelGetData(audio::StreamHandle handle, float* buffer, quint32 length) const override;
    audio::FxHandle ChannelSetFX(audio::StreamHandle handle, quint32 type, int priority) override;
    bool ChannelRemoveFX(audio::StreamHandle handle, audio::FxHandle fx) override;
    bool FXSetParameters(audio::FxHandle fx, const audio::DX8ParamEq& params) override;
    audio::EncoderHandle EncodeSwitch(audio::StreamHandle handle, const QStringList& argv, quint32 flags,
                                      const audio::EncodeFrom& at) override;
    bool EncodeStop(audio::Handle handle) override;
    bool EncodeSetNotify(audio::EncoderHandle handle, audio::EncodeNotifyProc proc) override;

private:
    struct Stream {
        bool playing = false;
        bool ended = false;
        float volume = 1.0f;
        QByteArray meta;
        quint64 metaAt = 0;
        std::vector<std::pair<quint32, audio::SyncProc>> syncs;
    };
    audio::StreamHandle Open(const QString& url);
    void Fire(audio::StreamHandle stream, quint32 type);
    void Notify(audio::EncoderHandle encoder, quint32 status);
    void StopEncoder(audio::EncoderHandle encoder);

    QObject queue_;  // the notifications' context: none is delivered after the fake is gone
    audio::Handle last_ = 0;
    std::map<audio::StreamHandle, Stream> streams_;
};

}  // namespace wavelot::test
