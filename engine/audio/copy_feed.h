#pragma once
// Records a stream's own packets, copied as the station sent them, into one file per song: MP3
// frames back to back, AAC remuxed into MP4 (.m4a), Vorbis and Opus into an Ogg stream of their
// own with the codec's headers. Nothing is decoded or encoded again.
//
// PacketLog keeps the last seconds of demuxed packets, each with the frame index its sound
// begins at (the same frames the sample history counts). The decoder thread appends and marks;
// it never waits for a writer. A CopyFeed writes from the log on a thread of its own a fixed delay
// behind the decoder, so a file can still be told, a moment after the fact, the frame at which it
// ends and the next begins; the split falls on the packet boundary nearest that frame, and each
// packet goes into exactly one file. A writer that falls so far behind that the log has dropped
// packets it had not written yet is reported as stalled, as a hung encoder program is.
//
// A file that begins before the log's oldest packet begins with the packets of the stream's
// time-shift buffer (demuxed from it again on the writer's thread) up to that packet, and goes on
// from the log, where the stream keeps such a buffer; else it begins at the log's oldest packet.
//
// A chained Ogg Vorbis station sends each new chain link's three header packets in line with the
// sound. The log keeps them out of the sound's packets and hands each packet the headers of its
// own link, so that a file begins with its link's headers and a link beginning mid-file begins a
// new link of the file's chain.

#include <QString>
#include <QtGlobal>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct AVCodecParameters;

namespace wavelot::audio {

class BufferPackets;
class SampleHistory;
struct TailData;

// The container a codec's packets are copied into; kNone when they cannot be.
enum class CopyContainer { kNone, kMp3, kMp4, kOgg, kOpus };
CopyContainer CopyContainerFor(int avCodecId);
// ".mp3", ".m4a", ".ogg", ".opus"; empty for kNone.
QString CopyExtension(CopyContainer container);

class PacketLog {
public:
    // Keeps packets spanning at most maxFrames frames (and always the newest one); frames are
    // counted at outRate.
    PacketLog(quint64 maxFrames, int outRate);
    ~PacketLog();
    PacketLog(const PacketLog&) = delete;
    PacketLog& operator=(const PacketLog&) = delete;

    // Decoder thread. The codec once its decoder is open; timeBase of the packets' durations.
    void SetCodec(const AVCodecParameters& par, int timeBaseNum, int timeBaseDen);
    // A Vorbis chain link's header packet is kept as the headers of the packets after it, not as
    // a packet.
    void Add(const uint8_t* data, size_t size, qint64 pos, int64_t duration);
    // The packet at input position pos begins with frame `frame`; packets before it that made no
    // sound of their own begin there too. pos -1: every packet not marked yet.
    void Mark(qint64 pos, quint64 frame);
    // No more packets come; the last one counts as complete.
    void End();

    struct Packet {
        std::vector<uint8_t> data;
        qint64 pos = -1;
        int64_t duration = 0;  // in the codec's time base; 0 unknown
        quint64 frame = 0;
        quint64 frames = 0;  // frames of sound, known once the next packet is marked
        bool marked = false;
        bool complete = false;
        // The Vorbis headers of the chain link the packet belongs to, in the codec's extradata
        // layout; null: the headers the codec was opened with.
        std::shared_ptr<const std::vector<uint8_t>> link;
    };
    struct Codec {
        AVCodecParameters* par = nullptr;  // owned by the log
        int tbNum = 1, tbDen = 1;
        int outRate = 0;
    };
    // Waits up to waitMs for packet `seq` to be complete, without taking it; sets *lost when it
    // was already dropped (seq then moves to the oldest held). nullopt: not complete yet.
    std::optional<Packet> Next(quint64& seq, bool* lost, int waitMs);
    // The first frame of the newest marked packet: the last packet boundary known.
    quint64 MarkedEnd() const;
    quint64 FirstSeq() const;
    bool Ended() const;
    // Null until SetCodec; the parameters stay valid as long as the log.
    const Codec* GetCodec() const;
    // The codec's AVCodecID; 0 until SetCodec.
    int CodecId() const;
    // Wakes whoever waits in Next.
    void Wake();

private:
    void TrimLocked();

    const quint64 maxFrames_;
    const int outRate_;
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::deque<Packet> packets_;                        // (mu_)
    quint64 firstSeq_ = 0;                              // (mu_) sequence number of packets_.front()
    quint64 markedEnd_ = 0;                             // (mu_)
    bool ended_ = false;                                // (mu_)
    Codec codec_;                                       // (mu_) par set once
    std::shared_ptr<const std::vector<uint8_t>> link_;  // (mu_) the newest complete link headers
    std::vector<std::vector<uint8_t>> linkParts_;       // (mu_) a link's headers as they come
};

class CopyFeed {
public:
    // kind ENCODE_NOTIFY_FREE once a segment's file is complete, ENCODE_NOTIFY_STALLED when the
    // writer lost packets or could not write; from the writer thread, it must only post.
    using Notify = std::function<void(quint32 kind)>;

    // earlier: the stream's buffer of received sound, for files that begin before the log.
    CopyFeed(std::shared_ptr<PacketLog> log, quint64 delayFrames,
             std::shared_ptr<const BufferPackets> earlier = nullptr);
    // Ends every segment at what has been marked so far, writes it and waits for the writer.
    ~CopyFeed();
    CopyFeed(const CopyFeed&) = delete;
    CopyFeed& operator=(const CopyFeed&) = delete;

    // The running segment ends and segment `id` (file `path`; empty: none, a gap) begins at the
    // packet boundary nearest `frame`, or where the writer has got to when that is later.
    // With `after`, the segment carries on a recording that ended with that tail: it begins at the
    // first packet from `frame` on whose sound the tail does not already hold, searched for in the
    // stream's decoded sound (`history`) by the writer, which takes no packet until it knows.
    void Switch(quint32 id, const QString& path, quint64 frame,
                std::shared_ptr<const SampleHistory> history = nullptr,
                std::shared_ptr<const TailData> after = nullptr);
    // Ends segment id (0: whichever runs) at everything marked so far; false when none runs.
    bool Stop(quint32 id);
    bool SetNotify(quint32 id, Notify notify);
    bool Has(quint32 id) const;
    // True when no segment is waiting or being written.
    bool Idle() const;

private:
    struct Segment {
        quint32 id = 0;
        QString path;
        quint64 begin = 0;
        Notify notify;
        bool failed = false;
        bool stalled = false;
        // Until its begin is resolved: the tail it carries on and the sound searched.
        std::shared_ptr<const TailData> after;
        std::shared_ptr<const SampleHistory> history;
        // The search moved the begin: the segment begins at the first packet at or after it.
        bool continued = false;
    };
    class Output;
    void Loop();
    // Resolves the begins still searched for (the lock is released while searching); false while
    // one cannot be told yet.
    bool ResolveBegins(std::unique_lock<std::mutex>& lock, bool final);
    // Whether packet p belongs to segment seg or a later one.
    static bool Reached(const Segment& seg, const PacketLog::Packet& p);
    // Writes the buffer's packets of segment seg that come before frame `until` (the log's
    // packet to go on with) into out, which it opens; the lock is released meanwhile.
    void WriteEarlier(std::unique_lock<std::mutex>& lock, quint64 until, std::unique_ptr<Output>& out);
    void Finish(Segment& seg, std::unique_ptr<Output>& out);
    bool HasLocked(quint32 id) const;

    const std::shared_ptr<PacketLog> log_;
    const quint64 delay_;
    const std::shared_ptr<const BufferPackets> earlier_;
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::deque<Segment> segments_;  // (mu_) the front one is written; each ends where the next begins
    quint64 written_ = 0;           // (mu_) first frame not handed to a file yet
    bool quit_ = false;             // (mu_)
    std::thread thread_;
};

}  // namespace wavelot::audio
