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
// stream says so); the writer thread is the feed's own, and it alone writes to the program and
// waits for it to end; Close never waits, Stop and the destructor wait for the writer (bounded)
// and may be called from any thread but the main one, which hands a feed to a FeedRetirer
// instead. Everything below marked (mu) is guarded by mu_, which is never held while writing to
// the program, waiting for it or searching; while it is held, the history may be asked for its
// positions (its own lock, taken last).

#include <QStringList>
#include <QtGlobal>

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/audio/continuation.h"
#include "engine/audio/sample_history.h"
#include "engine/audio/time_shift.h"

namespace wavelot::audio {

class EncoderFeed {
public:
    // Called once with ENCODE_NOTIFY_ENCODER when the program died without being asked to stop,
    // or with ENCODE_NOTIFY_STALLED when it was dropped for taking no sound (also while it was
    // being stopped); and with ENCODE_NOTIFY_FREE once when Stop has finished (the program has
    // ended and its output is complete). From whichever thread saw it; it must only post.
    using Notify = std::function<void(quint32 kind)>;

    // Where the feed's sound begins: at frame `frame`, or, with a tail, at the later of that and
    // the first frame of the stream the tail does not already hold (searched for by the writer as
    // soon as enough of the stream is decoded; without a confident match, the first frame held).
    // With a replay, the frames from `frame` on that the history no longer holds are decoded
    // again from the stream's buffer, until the replay reaches frames the history holds.
    struct Begin {
        quint64 frame = 0;
        std::shared_ptr<const TailData> after;
        std::shared_ptr<const BufferReplay> replay;
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
    // Ends the input (at everything decoded so far, unless EndAt came first): the writer hands the
    // program what is left, closes its input and waits for it to finish its file. Returns at once.
    void Close();
    // Close, then waits for the writer (bounded: kMaxStallSeconds without progress, then
    // kExitWaitMs for the program to end, past which it is killed).
    void Stop();
    bool Alive() const;
    // A death that happened before the notify was set is reported at once.
    void SetNotify(Notify notify);

    // A program that takes no sound for this long is dropped (killed), also while it is being
    // stopped: its file is closed this long after it stopped reading.
    static constexpr int kMaxStallSeconds = 5;
    // A program whose input was closed gets this long to finish its file before it is killed.
    static constexpr int kExitWaitMs = 3000;
    // Stop lets a program that is still taking sound slowly this long before it is cut off.
    static constexpr int kStopLimitSeconds = 10;
    // The writer hands the program what has become due every this many ms.
    static constexpr int kBatchMs = 250;

private:
    EncoderFeed(pid_t pid, int fd, int rate);
    void WriterLoop();
    // Decides the begin when it can (the writer thread); true once it is decided.
    bool ResolveBegin(bool final);
    // Hands the program the replay's frames from the begin on, as far as the end given or until
    // the history holds what follows (with a second to spare); false when the program failed.
    bool WriteReplay(const BufferReplay& replay, const SampleHistory& history);
    // Writes bytes to the program; false when it died or hung.
    bool WriteAll(const char* data, size_t size);
    // Waits for the program to end, killing it past waitMs; the writer thread, without mu_.
    void Reap(int waitMs);
    // Marks the feed dead; the caller holds mu_ and reports the death after releasing it.
    void DieLocked();
    // Calls the notify, outside mu_, at most once for the death and once for the end.
    void ReportDeath();
    void ReportFree();

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
    bool replaying_ = false;                        // (mu) handing on the replay's frames
    quint64 position_ = 0;                          // (mu) first frame not taken
    std::optional<quint64> end_;                    // (mu)
    bool closing_ = false;                          // (mu)
    bool wake_ = false;                             // (mu) news for the writer: attached, ended, stopping
    bool dead_ = false;                             // (mu)
    bool writerDone_ = false;                       // (mu)
    bool reaped_ = false;                           // (mu)
    bool diedUnasked_ = false;                      // (mu) died or dropped while no Stop was under way
    bool stalled_ = false;                          // (mu) dropped for taking no sound
    bool deathReported_ = false;                    // (mu)
    bool freeReported_ = false;                     // (mu)
    Notify notify_;                                 // (mu)
};

// Stops feeds on a thread of its own, so that whoever ends an encoder (the main thread at a title
// change) never waits for its program. Each feed's input is closed as it is handed over, so feeds
// handed over together end side by side. The thread starts with the first feed.
class FeedRetirer {
public:
    FeedRetirer() = default;
    ~FeedRetirer();  // Drain
    FeedRetirer(const FeedRetirer&) = delete;
    FeedRetirer& operator=(const FeedRetirer&) = delete;

    void Retire(std::unique_ptr<EncoderFeed> feed);
    // Waits until every feed handed over so far has been stopped.
    void Drain();

private:
    void Loop();

    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::unique_ptr<EncoderFeed>> queue_;  // (mu)
    bool busy_ = false;                               // (mu) one taken from the queue is being stopped
    bool quit_ = false;                               // (mu)
    std::thread thread_;                              // (mu) started by the first Retire
};

// The 44-byte header of a 16-bit PCM WAV stream of unknown length (both sizes 0xFFFFFFFF).
std::string OpenEndedWavHeader(int rate, int channels);

}  // namespace wavelot::audio
