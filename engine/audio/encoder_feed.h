#pragma once
// Feeds a stream's sound to an external encoder program on its standard input, as WAV.
//
// The sound comes from the stream's sample history. The feed's writer thread copies it out and
// hands it to the program a fixed delay behind the decoder, so that a recording can still be told,
// after the fact, the frame at which it ends and the next begins (where a title's metadata stood,
// which the program learns a moment after it was decoded), and both honour that frame exactly. A
// feed that has been given its end writes up to it at once, and so does every feed once its stream
// has ended: stopping never waits for the delay.
//
// Threads: Start and the setters are called by the library (under the stream's lock where the
// stream says so); the writer thread is the feed's own; Stop and the destructor may be called from
// any thread. Everything below marked (mu) is guarded by mu_, which is never held while writing to
// the program or searching; while it is held, the history may be asked for its positions (its own
// lock, taken last).

#include <QStringList>
#include <QtGlobal>

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/audio/continuation.h"
#include "engine/audio/sample_history.h"

namespace wavelot::audio {

class EncoderFeed {
public:
    // Called with ENCODE_NOTIFY_ENCODER once when the program died or was dropped without being
    // asked to stop, and with ENCODE_NOTIFY_FREE once when Stop has finished (the program has
    // ended and its output is complete). From whichever thread saw it; it must only post.
    using Notify = std::function<void(quint32 kind)>;

    // Where the feed's sound begins: at frame `frame`, or, with a tail, at the later of that and
    // the first frame of the stream the tail does not already hold (searched for by the writer as
    // soon as enough of the stream is decoded; without a confident match, the first frame held).
    struct Begin {
        quint64 frame = 0;
        std::shared_ptr<const TailData> after;
    };

    // Starts argv[0] with the rest as its arguments (no shell), the arguments in UTF-8 and the
    // program in a UTF-8 locale (LC_ALL=C.UTF-8) so it reads them as such; null when it cannot
    // start. Nothing but the WAV header (when asked) reaches it before Attach.
    static std::unique_ptr<EncoderFeed> Start(const QStringList& argv, int rate, bool wavHeader);
    ~EncoderFeed();
    EncoderFeed(const EncoderFeed&) = delete;
    EncoderFeed& operator=(const EncoderFeed&) = delete;

    // The sound source, where it begins, and how far behind the decoder the writer stays. Once.
    void Attach(std::shared_ptr<const SampleHistory> history, Begin begin, size_t delayFrames);
    // The first frame the writer has not taken yet (the begin frame before it took any).
    quint64 Position() const;
    // The frame its sound begins at; nullopt while the search for it runs.
    std::optional<quint64> BeginFrame() const;
    // The begin as it stands, for a feed that takes over from this one on the same stream.
    Begin PendingBegin() const;
    // The sound ends before frame `end`, or where the writer has got to when that is later (what
    // it handed on cannot be taken back); returns the end that will be kept.
    quint64 EndAt(quint64 end);
    // Ends the input (at everything decoded so far, unless EndAt came first) and waits (bounded)
    // for the program to finish its file.
    void Stop();
    bool Alive() const;
    // A death that happened before the notify was set is reported at once.
    void SetNotify(Notify notify);

    // A program that takes no sound for this long is dropped.
    static constexpr int kMaxStallSeconds = 5;
    // The writer hands the program what has become due every this many ms.
    static constexpr int kBatchMs = 250;

private:
    EncoderFeed(pid_t pid, int fd, int rate);
    void WriterLoop();
    // Decides the begin when it can (the writer thread); true once it is decided.
    bool ResolveBegin(bool final);
    // Writes bytes to the program; false when it died or hung.
    bool WriteAll(const char* data, size_t size);
    void Reap(int waitMs);
    // Marks the feed dead; the caller holds mu_ and reports the death after releasing it.
    void DieLocked();
    // Calls the notify, outside mu_, at most once per kind.
    void Report(quint32 kind);

    const pid_t pid_;
    const int rate_;
    int fd_;  // writer thread only after construction
    std::thread writer_;
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::string header_;                            // (mu) written before any sound
    std::shared_ptr<const SampleHistory> history_;  // (mu) set once by Attach
    size_t delay_ = 0;                              // (mu)
    Begin begin_;                                   // (mu)
    bool searching_ = false;                        // (mu) begin_.after not resolved yet
    quint64 position_ = 0;                          // (mu) first frame not taken
    std::optional<quint64> end_;                    // (mu)
    bool closing_ = false;                          // (mu)
    bool wake_ = false;                             // (mu) news for the writer: attached, ended, stopping
    bool dead_ = false;                             // (mu)
    bool writerDone_ = false;                       // (mu)
    bool reaped_ = false;                           // (mu)
    bool diedUnasked_ = false;                      // (mu) died or dropped while no Stop was under way
    bool deathReported_ = false;                    // (mu)
    bool freeReported_ = false;                     // (mu)
    Notify notify_;                                 // (mu)
};

// The 44-byte header of a 16-bit PCM WAV stream of unknown length (both sizes 0xFFFFFFFF).
std::string OpenEndedWavHeader(int rate, int channels);

}  // namespace wavelot::audio
