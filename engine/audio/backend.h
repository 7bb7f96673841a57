#pragma once
// The back end's shared state behind AudioLibrary: configuration, handle tables, the delivery
// of syncs to the main thread and the reaper that joins freed streams.
//
// Locking: mu_ guards the tables and the configuration; it is never held while a stream is
// waited for or a sync callback runs. Streams are shared pointers, so a call that found a
// stream under mu_ keeps using it after releasing mu_ even if StreamFree ran meanwhile.

#include "engine/audio/audio_library.h"
#include "engine/audio/stream.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace wavelot::audio {

struct SyncEntry {
    StreamHandle stream = 0;
    quint32 type = 0;  // SYNC_* without flags
    bool oneTime = false;
    SyncProc proc;
};

struct Config {
    quint32 timeoutMs = 10000;
    quint32 bufferMs = 15000;
    quint32 prebufPercent = 0;
    quint32 playlist = 0;
    quint32 timeShiftMinutes = 0;
    int hlsMaxKbps = 0;               // CONFIG_NET_HLS_MAX_KBPS
    std::optional<QByteArray> proxy;  // nullopt: no proxy
    QByteArray agent;
    bool silent = false;  // CONFIG_SILENT_OUTPUT
};

class Backend {
public:
    Backend();
    ~Backend();  // Shutdown

    bool initialised = false;  // main thread
    bool soundServer = false;  // decided at Init
    int outRate = 44100;
    QObject* dispatcher = nullptr;  // lives in the main thread; queued syncs target it

    mutable std::mutex mu;
    Config config;                                            // (mu)
    std::map<StreamHandle, std::shared_ptr<Stream>> streams;  // (mu)
    std::set<std::shared_ptr<Stream>> connecting;             // (mu) inside StreamCreateURL
    std::map<SyncHandle, SyncEntry> syncs;                    // (mu)
    std::map<FxHandle, StreamHandle> fx;                      // (mu)
    std::map<EncoderHandle, StreamHandle> encoders;           // (mu)
    quint32 nextHandle = 0x100;                               // (mu) shared by all kinds

    Handle NewHandle();                                          // caller holds mu
    std::shared_ptr<Stream> Find(StreamHandle h) const;          // takes mu
    std::shared_ptr<Stream> FindFxOwner(FxHandle effect) const;  // takes mu; the stream an effect is on
    // Removes the stream and everything set on it from the tables and hands it to the reaper.
    bool Release(StreamHandle h);
    void Reap(std::shared_ptr<Stream> s);
    // From a stream thread: queue the sync kind to the main thread.
    void Post(StreamHandle h, quint32 kind, quint32 data);
    // Main thread.
    void Deliver(StreamHandle h, quint32 kind, quint32 data);
    // From any thread: queue an encoder notification to the main thread.
    void PostEncoderNotify(std::shared_ptr<const EncodeNotifyProc> proc, EncoderHandle encoder, quint32 kind);
    // Frees everything and waits for the reaper (bounded by how fast streams leave).
    void Shutdown();

private:
    void ReaperLoop();
    std::mutex reapMu_;
    std::condition_variable reapCv_;
    std::deque<std::shared_ptr<Stream>> reapQueue_;  // (reapMu_)
    bool reapStop_ = false;                          // (reapMu_)
    int reaping_ = 0;                                // (reapMu_) popped, being joined
    std::thread reaper_;
};

}  // namespace wavelot::audio
