#pragma once
// One open stream and its three threads: the network reader (HttpTransport), the decoder and
// the output. The back end owns it through a shared pointer; every public member may be called
// from any thread.
//
// Locking: mu_ guards everything marked (mu) below; it is held only for short copies and never
// while waiting, writing to a device or calling out, except Notify, which only posts. The ring,
// the PCM FIFO, the spectrum snapshot and each encoder feed have their own locks; no lock is
// taken while holding another of this class except mu_ -> encoder feed (Push only queues).

#include "engine/audio/audio_library.h"
#include "engine/audio/byte_ring.h"
#include "engine/audio/decoder.h"
#include "engine/audio/equalizer.h"
#include "engine/audio/pcm_fifo.h"
#include "engine/audio/spectrum.h"
#include "engine/audio/transport.h"
#include "engine/audio/volume_ramp.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace wavelot::audio {

class EncoderFeed;

struct StreamConfig {
    TransportOptions transport;  // url is the address (http/https)
    QByteArray directUrl;        // mms addresses: opened by libavformat instead
    int outRate = 44100;
    bool soundServer = false;  // try the sound server first
    size_t ringBytes = 600000;
    int prebufPercent = 0;
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
    // Called once (from a stream thread) when State leaves Connecting; replaced or cleared by
    // the waiting caller under mu_, so it never outlives what it points to.
    void SetStateWaker(std::function<void()> waker);
    // Tells every thread to leave; returns at once.
    void RequestStop();
    void Join();

    QByteArray Tags(quint32 kind) const;
    bool Play();
    bool Pause();
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

    void AddBand(FxHandle id, int priority);
    bool RemoveBand(FxHandle id);
    bool SetBand(FxHandle id, const DX8ParamEq& p);
    bool GetBand(FxHandle id, DX8ParamEq* p) const;

    void AddEncoder(EncoderHandle id, std::unique_ptr<EncoderFeed> feed);
    // The feed (or all feeds for id 0) taken out, to be stopped by the caller without locks.
    std::vector<std::unique_ptr<EncoderFeed>> TakeEncoders(EncoderHandle id);
    // Every feed taken out and the new one (if any) put in, between two blocks of sound: the
    // old feeds end and the new one begins at the same sample. The old ones are the caller's
    // to stop.
    std::vector<std::unique_ptr<EncoderFeed>> SwapEncoders(EncoderHandle id,
                                                           std::unique_ptr<EncoderFeed> feed);
    bool EncoderAlive(EncoderHandle id) const;
    bool SetEncoderNotify(EncoderHandle id, std::function<void(quint32)> notify);
    int OutRate() const { return cfg_.outRate; }

    // TransportSink (reader thread)
    void OnConnected(const HeaderBlock& headers) override;
    void OnMeta(const QByteArray& meta) override;
    void OnTransportEnd(bool failed) override;
    // DecoderHost (decoder thread)
    size_t ReadInput(char* out, size_t max) override;
    bool Aborted() const override { return abort_; }
    void OnFormat(const SourceFormat& format) override;
    void OnTags(quint32 kind, const QByteArray& tags, bool chainLink) override;
    bool OnPcm(float* frames, size_t count) override;

private:
    struct PendingMeta {
        quint64 offset;
        QByteArray meta;
    };
    void DecoderLoop();
    void OutputLoop();
    void SetState(ConnectState s);
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
    quint64 readTotal_ = 0;  // decoder thread: audio bytes taken from the ring

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
    std::vector<PendingMeta> pendingMeta_;           // (mu) cut out ahead of the audio
    quint64 writtenTotal_ = 0;                       // (mu) audio bytes the reader wrote
    SourceFormat format_;                            // (mu)
    bool playing_ = false;                           // (mu) ChannelPlay given and not paused
    bool paused_ = false;                            // (mu)
    bool ended_ = false;                             // (mu) played to its end
    bool stalled_ = false;                           // (mu)
    VolumeRamp volume_;                              // (mu)
    double playedSeconds_ = 0;                       // (mu)
    StreamTimings timings_;                          // (mu)
    std::vector<EqBand> bands_;                      // (mu)
    bool bandsDirty_ = false;                        // (mu)
    std::vector<std::pair<EncoderHandle, std::unique_ptr<EncoderFeed>>> encoders_;  // (mu)
    EqualizerChain eq_;                                                             // decoder thread only
};

}  // namespace wavelot::audio
