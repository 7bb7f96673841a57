#pragma once
// Feeds a stream's sound to an external encoder program on its standard input, as WAV.
// Push is called by the decoder thread and never blocks; a writer thread of the feed does the
// pipe writes; Stop and the destructor may be called from any thread. Guarded by mu_.

#include <QStringList>
#include <QtGlobal>

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wavelot::audio {

class EncoderFeed {
public:
    // Called with ENCODE_NOTIFY_ENCODER once when the program died or was dropped without being
    // asked to stop, and with ENCODE_NOTIFY_FREE once when Stop has finished (the program has
    // ended and its output is complete). From whichever thread saw it; it must only post.
    using Notify = std::function<void(quint32 kind)>;

    // Starts argv[0] with the rest as its arguments (no shell), the arguments in UTF-8 and the
    // program in a UTF-8 locale (LC_ALL=C.UTF-8) so it reads them as such; null when it cannot
    // start.
    static std::unique_ptr<EncoderFeed> Start(const QStringList& argv, int rate, bool wavHeader);
    ~EncoderFeed();
    EncoderFeed(const EncoderFeed&) = delete;
    EncoderFeed& operator=(const EncoderFeed&) = delete;

    // Interleaved stereo float; converted to 16-bit. Drops the encoder when it has fallen more
    // than kMaxBacklogSeconds behind.
    void Push(const float* frames, size_t count);
    // Ends the input and waits (bounded) for the program to finish its file.
    void Stop();
    bool Alive() const;
    // A death that happened before the notify was set is reported at once.
    void SetNotify(Notify notify);

    static constexpr int kMaxBacklogSeconds = 5;
    // The writer hands the program what has queued every this many ms, or as soon as that much
    // sound has queued.
    static constexpr int kBatchMs = 250;

private:
    EncoderFeed(pid_t pid, int fd, int rate);
    void WriterLoop();
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
    std::deque<std::string> queue_;
    size_t queuedBytes_ = 0;
    bool closing_ = false;
    bool dead_ = false;
    bool writerDone_ = false;
    bool reaped_ = false;
    bool diedUnasked_ = false;  // died or dropped while no Stop was under way
    bool deathReported_ = false;
    bool freeReported_ = false;
    Notify notify_;
};

// The 44-byte header of a 16-bit PCM WAV stream of unknown length (both sizes 0xFFFFFFFF).
std::string OpenEndedWavHeader(int rate, int channels);

}  // namespace wavelot::audio
