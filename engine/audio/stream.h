#pragma once
// One open stream and its three threads: the network reader (HttpTransport), the decoder and
// the output. The back end owns it through a shared pointer; every public member may be called
// from any thread.
//
// Frames. Every decoded frame (after resampling to the output rate) has an index, 0 for the first;
// the decoder keeps the last seconds of them in the sample history (after the effects, before the
// loudness levelling and the volume), which the encoder feeds read. Tag events are placed at the index of the
// first frame decoded from the input at or after the byte where the tag stood (ICY metadata: where the block
// was cut out; an Ogg chain link: its first packet), so a recording can end and the next begin at
// exactly that frame. The output thread counts the frames it plays; less the device's latency, that
// is the frame the listener hears.
//
// A stream ends by itself when its connection closes, or when its output has been starved for the
// stall limit (the network time-out) with the connection still open; a shorter starvation is only
// a stall, and sound resumes when data returns.
//
// Locking: mu_ guards everything marked (mu) below; it is held only for short copies and never
// while waiting, writing to a device or calling out, except Notify, which only posts. The ring,
// the PCM FIFO, the spectrum snapshot, the sample history and each encoder feed have their own
// locks; no lock is taken while holding another of this class except mu_ -> encoder feed (its
// setters only record) and mu_ -> sample history (copies only).

#include "engine/audio/audio_library.h"
#include "engine/audio/byte_ring.h"
#include "engine/audio/continuation.h"
#include "engine/audio/decoder.h"
#include "engine/audio/equalizer.h"
#include "engine/audio/loudness_leveller.h"
#include "engine/audio/pcm_fifo.h"
#include "engine/audio/sample_history.h"
#include "engine/audio/spectrum.h"
#include "engine/audio/time_shift.h"
#include "engine/audio/transport.h"
#include "engine/audio/volume_ramp.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace wavelot::audio {

class EncoderFeed;
class PacketLog;
class CopyFeed;

struct StreamConfig {
    TransportOptions transport;  // url is the address (http/https)
    QByteArray directUrl;        // mms addresses: opened by libavformat instead
    int outRate = 44100;
    bool soundServer = false;  // try the sound server first
    // Nobody listens (a background recording on the silent output): the stream's threads move
    // larger blocks and wake less often; what a recording gets is the same.
    bool unheard = false;
    size_t ringBytes = 600000;
    int prebufPercent = 0;
    int stallLimitMs = 10000;  // starved this long with the connection open: the stream ends
    int timeShiftSeconds = 0;  // the received sound kept for decoding again (at the stated bit rate)
};

class Stream final : public TransportSink, public DecoderHost {
public:
    // kind SYNC_*, data as the sync passes it. Called from the stream's threads.
    using Notify = std::function<void(quint32 kind, quint32 data)>;
    enum class ConnectState { Connecting, Ready, Failed };

    Stream(StreamConfig config, Notify notify);
    ~Stream() override;  // RequestStop + Join

    void Start();
    ConnectState State() const;
    // The connect failed because the stream is encrypted; once State left Connecting.
    bool Encrypted() const {
        return transport_ && transport_->Reason() == HttpTransport::FailReason::Encrypted;
    }
    // Called once (from a stream thread) when State leaves Connecting; replaced or cleared by
    // the waiting caller under mu_, so it never outlives what it points to.
    void SetStateWaker(std::function<void()> waker);
    // Tells every thread to leave; returns at once.
    void RequestStop();
    void Join();

    // at: where the tags took effect (frame index); 0 for tags of the stream's header.
    QByteArray Tags(quint32 kind, quint64* at = nullptr) const;
    // Play after a Pause resumes at the frame the output had reached, behind live, where the
    // stream keeps its received sound (the output then plays it decoded again from the buffer,
    // from its oldest frame when the pause outlasted it); GoLive plays the live sound again.
    bool Play();
    bool Pause();
    bool GoLive();
    bool BehindLive() const;
    bool StopPlaying();
    quint32 Active() const;
    void SetVolume(float v);
    void SlideVolume(float v, quint32 ms);
    float Volume() const;
    bool Sliding() const;
    SourceFormat Format() const;
    quint64 PositionBytes() const;
    double BytesToSeconds(quint64 bytes) const;
    bool Spectrum(size_t n, float* out) const;
    size_t BufferedBytes() const;
    StreamTimings Timings() const;
    quint64 DecodedFrames() const;
    quint64 HeardFrame() const;
    size_t HistoryBytes() const;
    size_t RingBytes() const { return ring_.Capacity(); }
    // The last seconds decoded, as a mono mix (empty when nothing was decoded).
    std::shared_ptr<const TailData> Tail() const;

    void AddBand(FxHandle id, int priority);
    bool RemoveBand(FxHandle id);
    bool SetBand(FxHandle id, const DX8ParamEq& p);
    bool GetBand(FxHandle id, DX8ParamEq* p) const;

    // Where an encoder's sound begins: frame (kHeardFrame: what the listener hears now), or with
    // a tail, the first frame from there on that the tail does not hold.
    static constexpr quint64 kHeardFrame = ~quint64(0);
    // rewind: a frame the history no longer holds is decoded again from the stream's buffer
    // (from its oldest frame when the buffer no longer holds it either).
    struct EncodeAt {
        quint64 frame = kHeardFrame;
        std::shared_ptr<const TailData> after;
        bool rewind = false;
    };
    void AddEncoder(EncoderHandle id, std::unique_ptr<EncoderFeed> feed, const EncodeAt& at);
    // The feed (or all feeds for id 0) taken out, to be stopped by the caller without locks.
    std::vector<std::unique_ptr<EncoderFeed>> TakeEncoders(EncoderHandle id);
    // Every feed taken out and the new one (if any) put in: the old feeds end where the new one
    // begins, at `at` (later only when an old writer already handed on sound past it), so nothing
    // is lost or doubled between them. The old ones are the caller's to stop.
    std::vector<std::unique_ptr<EncoderFeed>> SwapEncoders(EncoderHandle id,
                                                           std::unique_ptr<EncoderFeed> feed,
                                                           const EncodeAt& at);
    // Hands the feed the sound of frames [from, to) (decoded again from the buffer as far as the
    // history does not hold them) and ends its input there; the feed is the caller's to retire.
    // The span begins no earlier than the buffer's oldest frame. False when no sound is held.
    bool FeedSpan(EncoderFeed& feed, quint64 from, quint64 to);
    // Memory the buffer of received sound holds.
    size_t TimeShiftBytes() const { return timeShift_->MemoryBytes(); }
    bool EncoderAlive(EncoderHandle id) const;
    // Where the encoder's sound begins; nullopt while it is still being searched for.
    std::optional<quint64> EncoderBegin(EncoderHandle id) const;
    bool SetEncoderNotify(EncoderHandle id, std::function<void(quint32)> notify);
    // Recordings of the stream's own packets (copy_feed.h): segment id's file `path` begins at
    // the packet boundary nearest `at` and the running one ends there; an empty path only ends.
    void CopySwitch(EncoderHandle id, const QString& path, const EncodeAt& at);
    // Ends segment id (0: the running one) at what is decoded; false when it runs no more.
    bool CopyStop(EncoderHandle id);
    bool SetCopyNotify(EncoderHandle id, std::function<void(quint32)> notify);
    bool CopyAlive(EncoderHandle id) const;
    // The codec of the stream's packets (an AVCodecID); 0 before its first sound.
    int PacketCodec() const;
    int OutRate() const { return cfg_.outRate; }

    // TransportSink (reader thread)
    void OnConnected(const HeaderBlock& headers) override;
    void OnMeta(const QByteArray& meta) override;
    void OnTransportEnd(bool failed) override;
    // DecoderHost (decoder thread)
    size_t ReadInput(char* out, size_t max) override;
    bool Aborted() const override { return abort_; }
    void OnFormat(const SourceFormat& format) override;
    void OnTags(quint32 kind, const QByteArray& tags, bool chainLink, qint64 pos) override;
    bool OnPcm(float* frames, size_t count, qint64 sourcePos, size_t lead) override;
    void OnPacket(const uint8_t* data, size_t size, qint64 pos, int64_t duration) override;
    void OnCodec(const AVCodecParameters& par, int timeBaseNum, int timeBaseDen) override;

private:
    // Tags that take effect with the first frame decoded from input byte pos on (-1: at once).
    struct TagEvent {
        qint64 pos;
        quint32 kind;  // TAG_META or TAG_OGG
        QByteArray tags;
        bool chainLink;
    };
    void DecoderLoop();
    void OutputLoop();
    void SetState(ConnectState s);
    // Applies the events due by sourcePos at frame `at`; the caller posts what it returns.
    std::vector<quint32> ApplyTagEventsLocked(qint64 sourcePos, quint64 at);
    quint64 ResolveFrameLocked(quint64 frame) const;
    // The replay a begin at frame needs: null when the history holds that frame (with a second
    // to spare) or the buffer holds nothing.
    std::shared_ptr<const BufferReplay> ReplayLocked(quint64 frame) const;
    static qint64 Now();

    const StreamConfig cfg_;
    const Notify notify_;
    ByteRing ring_;
    PcmFifo fifo_;
    SpectrumSnapshot spectrum_;
    std::unique_ptr<HttpTransport> transport_;  // set in Start, then read only
    std::thread decoderThread_;
    std::thread outputThread_;
    std::atomic<bool> abort_{false};
    const std::shared_ptr<SampleHistory> history_;      // shared with the encoder feeds that read it
    quint64 decoded_ = 0;                               // decoder thread: frames handed on
    const std::shared_ptr<TimeShiftBuffer> timeShift_;  // fed by the decoder thread
    bool keepInput_ = false;                            // decoder thread: the input goes to the buffer
    std::atomic<quint64> heard_{0};                     // written by the output thread
    const std::shared_ptr<PacketLog> packets_;          // fed by the decoder thread, read by copy_
    std::atomic<int> packetCodec_{0};

    mutable std::mutex mu_;
    std::condition_variable cv_;
    ConnectState state_ = ConnectState::Connecting;  // (mu)
    std::function<void()> waker_;                    // (mu)
    bool connected_ = false;                         // (mu) transport accepted the answer
    bool transportEnded_ = false;                    // (mu)
    QByteArray contentType_;                         // (mu)
    QByteArray headerTags_;                          // (mu)
    bool icy_ = false;                               // (mu)
    QByteArray meta_, oggTags_, wmaTags_;            // (mu)
    quint64 metaAt_ = 0, oggAt_ = 0, wmaAt_ = 0;     // (mu) frames where each took effect
    std::deque<TagEvent> pendingTags_;               // (mu) cut out ahead of their sound
    SourceFormat format_;                            // (mu)
    bool playing_ = false;                           // (mu) ChannelPlay given and not paused
    bool paused_ = false;                            // (mu)
    bool shifted_ = false;                           // (mu) the output plays from the buffer
    quint64 resumeAt_ = 0;                           // (mu) where play behind live begins
    bool ended_ = false;                             // (mu) played to its end
    bool stalled_ = false;                           // (mu)
    VolumeRamp volume_;                              // (mu)
    double playedSeconds_ = 0;                       // (mu)
    StreamTimings timings_;                          // (mu)
    std::vector<EqBand> bands_;                      // (mu)
    bool bandsDirty_ = false;                        // (mu)
    std::vector<std::pair<EncoderHandle, std::unique_ptr<EncoderFeed>>> encoders_;  // (mu)
    std::unique_ptr<CopyFeed> copy_;  // (mu) made at the first copied recording
    EqualizerChain eq_;               // decoder thread only
    LoudnessLeveller leveller_;       // decoder thread only
};

}  // namespace wavelot::audio
