#pragma once
// The last minutes of a stream as it was received: the compressed bytes the decoder read (ICY
// metadata already cut out), and for each packet the frame index its sound begins at. From it
// the sound of any frame still held can be decoded again, faster than real time, which is how a
// recording begins at a title that played minutes ago and how the last minutes are saved.
//
// Kept in memory: 30 minutes of a 128 kbit/s station are 28.8 MB, and the marks about 1 MB. The
// bytes live in fixed chunks, so holding them costs no copying as the buffer moves on and no
// growth past its capacity.
//
// The decoder thread appends; replays read. Guarded by its own mutex, held only while copying.

#include "engine/audio/equalizer.h"
#include "engine/audio/loudness_leveller.h"

#include <QByteArray>
#include <QtGlobal>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace wavelot::audio {

class TimeShiftBuffer {
public:
    // capacityBytes 0: keeps nothing.
    explicit TimeShiftBuffer(size_t capacityBytes);

    // The bytes of the input from position WrittenBytes() on.
    void Append(const char* data, size_t size);
    // The packet at input byte pos begins with frame `frame` (the first mark of a position counts).
    void Mark(qint64 pos, quint64 frame);
    void SetCapacity(size_t capacityBytes);

    struct Point {
        qint64 pos = 0;
        quint64 frame = 0;
    };
    // Where to start decoding for frame `frame`, `preroll` frames ahead of it (a decoder needs a
    // few packets before its sound is whole); the oldest packet held when that is gone. nullopt
    // when nothing is held.
    std::optional<Point> StartFor(quint64 frame, quint64 preroll) const;
    // The frame a packet at pos begins; nullopt when pos is not a packet held.
    std::optional<quint64> FrameAt(qint64 pos) const;
    // The oldest frame whose sound can be decoded whole again (preroll frames after the oldest
    // packet held, or after the oldest at least `margin` bytes past the oldest byte when there is
    // one); nullopt when nothing is held.
    std::optional<quint64> FirstFrame(quint64 preroll, size_t margin = 0) const;
    // Copies up to max bytes from input position pos; 0 when pos is not held.
    size_t Read(qint64 pos, char* out, size_t max) const;

    qint64 WrittenBytes() const;
    size_t HeldBytes() const;
    // Whether it holds as much as it may: the next bytes appended push its oldest chunk out.
    bool Full() const;
    // The memory it holds: the chunks and the marks.
    size_t MemoryBytes() const;

    static constexpr size_t kChunkBytes = 64 * 1024;

private:
    void TrimLocked();

    mutable std::mutex mu_;
    size_t capacity_;                       // (mu_)
    std::deque<std::vector<char>> chunks_;  // (mu_) full but the last
    qint64 first_ = 0;                      // (mu_) input position of chunks_.front()[0]
    qint64 written_ = 0;                    // (mu_)
    std::deque<Point> marks_;               // (mu_) ascending in pos and frame, all held
};

// Decodes a buffer's sound again, from a frame on, at the output rate through the stream's
// equalizer bands, as 16-bit stereo exactly as the sample history holds it: frame indices are
// those of the stream, taken from the marks. Runs on the caller's thread.
class BufferReplay {
public:
    // sink: `count` frames from frame `first` on (interleaved stereo); false stops the replay.
    using Sink = std::function<bool(quint64 first, const int16_t* frames, size_t count)>;

    BufferReplay(std::shared_ptr<const TimeShiftBuffer> buffer, QByteArray contentType, int outRate,
                 std::vector<EqBand> bands);
    // The first frame the replay will hand out when asked for `from`; nullopt when it cannot.
    std::optional<quint64> BeginFor(quint64 from) const;
    // BeginFor for a replay that reads at the pace the buffer moves on: a chunk past the oldest
    // byte, as the oldest chunk is the next to go and would take the sound about to play along.
    std::optional<quint64> BeginAtPace(quint64 from) const;
    // Hands out the frames from BeginFor(from) on, until the held bytes run out or the sink
    // refuses; returns whether any frame was handed out.
    bool Run(quint64 from, const Sink& sink) const;
    int OutRate() const { return outRate_; }

    // How far ahead of its first frame decoding starts.
    quint64 Preroll() const { return quint64(outRate_) / 2; }

private:
    std::shared_ptr<const TimeShiftBuffer> buffer_;
    QByteArray contentType_;
    int outRate_;
    std::vector<EqBand> bands_;
};

// The packets a buffer holds, demuxed again but not decoded, each with the frames its sound
// spans by the marks (a packet that made no sound of its own begins where the next one does, as
// in the packet log): how a copy of the station's own packets begins at a title older than the
// packets the copy keeps. Runs on the caller's thread.
class BufferPackets {
public:
    // sink: one packet (duration in the demuxer's time base, 0 unknown) whose sound is the frames
    // [frame, frame + frames); false stops.
    using Sink = std::function<bool(const uint8_t* data, size_t size, int64_t duration, quint64 frame,
                                    quint64 frames)>;

    BufferPackets(std::shared_ptr<const TimeShiftBuffer> buffer, QByteArray contentType);
    // Hands out the packets in order from the one whose sound holds frame `from` (from the oldest
    // held but a chunk, when that is gone), each once the next one's frame is known, until the
    // held bytes run out or the sink refuses; returns whether any packet was handed out.
    bool Run(quint64 from, const Sink& sink) const;

private:
    std::shared_ptr<const TimeShiftBuffer> buffer_;
    QByteArray contentType_;
};

// A replay run on a thread of its own for a stream's output while it plays behind live: the
// replay's frames wait in a short queue (half a second) that the output takes from at its pace.
// With a level (a leveller's Published), what Read hands out is levelled as the live sound is
// at that moment, so the loudness does not jump at a resume or when play goes back to live.
class ReplayReader {
public:
    ReplayReader(std::shared_ptr<const BufferReplay> replay, quint64 from,
                 std::shared_ptr<const std::atomic<float>> level = nullptr);
    ~ReplayReader();  // stops the replay and waits for its thread
    ReplayReader(const ReplayReader&) = delete;
    ReplayReader& operator=(const ReplayReader&) = delete;

    // Up to max frames (interleaved stereo float) of one run of consecutive frames, the first of
    // them frame *first; waits at most waitMs for some. 0 when none came (Ended tells whether
    // more will).
    size_t Read(float* out, size_t max, int waitMs, quint64* first);
    // The replay has run out (its bytes ended or left the buffer) and everything was read.
    bool Ended() const;
    // The frame after the last one read (the begin before any was read).
    quint64 Next() const;
    // Whether any frame came at all.
    bool HandedOut() const;

private:
    struct Block {
        quint64 first;
        std::vector<float> samples;
        size_t taken = 0;  // frames already read
    };
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::deque<Block> blocks_;  // (mu)
    size_t queued_ = 0;         // (mu) frames in blocks_ not read yet
    size_t limit_;
    quint64 next_;            // (mu)
    bool done_ = false;       // (mu) the replay's thread has finished
    bool stop_ = false;       // (mu)
    bool handedOut_ = false;  // (mu)
    LevelFollower level_;     // the reading thread only
    std::thread thread_;
};

// Whether a stream of this content type can be decoded from the middle: an Ogg stream needs
// its headers, which are long gone, so it keeps no buffer.
bool ReplayableContentType(const QByteArray& contentType);

}  // namespace wavelot::audio
