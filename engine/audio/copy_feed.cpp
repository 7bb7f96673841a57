#include "engine/audio/copy_feed.h"

#include <QFile>

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include "engine/audio/audio_library.h"
#include "engine/audio/continuation.h"
#include "engine/audio/sample_history.h"
#include "engine/audio/time_shift.h"

namespace wavelot::audio {

namespace {

// How long the writer sleeps at most before it looks at the log again. It runs seconds behind
// the decoder, so a quarter of a second later costs nothing; switches and stops wake it at once.
constexpr int kPollMs = 250;
// How far a searched begin may lie after the packet boundary it stands for, in frames (at most
// half the packet's own).
constexpr quint64 kContinuationSlack = 64;

// 1, 3 or 5 for a Vorbis identification, comment or setup header packet; 0 for anything else
// (a Vorbis sound packet's first bit is 0).
int VorbisHeaderType(const uint8_t* data, size_t size) {
    if (size < 7 || (data[0] != 1 && data[0] != 3 && data[0] != 5) || std::memcmp(data + 1, "vorbis", 6) != 0)
        return 0;
    return data[0];
}

// The three headers as a Vorbis codec's extradata: their count less one, the sizes of all but
// the last in Xiph lacing, then the headers back to back.
std::vector<uint8_t> XiphExtradata(const std::vector<std::vector<uint8_t>>& headers) {
    std::vector<uint8_t> out{uint8_t(headers.size() - 1)};
    for (size_t i = 0; i + 1 < headers.size(); ++i) {
        size_t n = headers[i].size();
        for (; n >= 255; n -= 255)
            out.push_back(255);
        out.push_back(uint8_t(n));
    }
    for (const auto& h : headers)
        out.insert(out.end(), h.begin(), h.end());
    return out;
}

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

CopyContainer CopyContainerFor(int avCodecId) {
    switch (AVCodecID(avCodecId)) {
    case AV_CODEC_ID_MP3: return CopyContainer::kMp3;
    case AV_CODEC_ID_AAC: return CopyContainer::kMp4;
    case AV_CODEC_ID_VORBIS: return CopyContainer::kOgg;
    case AV_CODEC_ID_OPUS: return CopyContainer::kOpus;
    default: return CopyContainer::kNone;
    }
}

QString CopyExtension(CopyContainer container) {
    switch (container) {
    case CopyContainer::kMp3: return QStringLiteral(".mp3");
    case CopyContainer::kMp4: return QStringLiteral(".m4a");
    case CopyContainer::kOgg: return QStringLiteral(".ogg");
    case CopyContainer::kOpus: return QStringLiteral(".opus");
    case CopyContainer::kNone: break;
    }
    return {};
}

// --- PacketLog ---

PacketLog::PacketLog(quint64 maxFrames, int outRate) : maxFrames_(maxFrames), outRate_(outRate) {}

PacketLog::~PacketLog() {
    avcodec_parameters_free(&codec_.par);
}

void PacketLog::SetCodec(const AVCodecParameters& par, int timeBaseNum, int timeBaseDen) {
    std::lock_guard lock(mu_);
    if (codec_.par)
        return;
    AVCodecParameters* copy = avcodec_parameters_alloc();
    if (!copy || avcodec_parameters_copy(copy, &par) < 0) {
        avcodec_parameters_free(&copy);
        return;
    }
    codec_ = {copy, timeBaseNum, timeBaseDen, outRate_};
}

void PacketLog::Add(const uint8_t* data, size_t size, qint64 pos, int64_t duration) {
    std::lock_guard lock(mu_);
    const int header = VorbisHeaderType(data, size);
    if (header && (!codec_.par || codec_.par->codec_id == AV_CODEC_ID_VORBIS)) {
        if (header == 1)
            linkParts_.clear();
        if (linkParts_.size() == size_t(header / 2))
            linkParts_.emplace_back(data, data + size);
        if (linkParts_.size() == 3) {
            link_ = std::make_shared<const std::vector<uint8_t>>(XiphExtradata(linkParts_));
            linkParts_.clear();
        }
        return;
    }
    Packet p;
    p.data.assign(data, data + size);
    p.pos = pos;
    p.duration = duration;
    p.link = link_;
    packets_.push_back(std::move(p));
}

void PacketLog::Mark(qint64 pos, quint64 frame) {
    bool any = false;
    {
        std::lock_guard lock(mu_);
        // The newest packets are the unmarked ones: walk back to the first of them.
        auto it = packets_.end();
        while (it != packets_.begin() && !std::prev(it)->marked)
            --it;
        for (; it != packets_.end() && (pos < 0 || it->pos < 0 || it->pos <= pos); ++it) {
            if (it != packets_.begin() && !std::prev(it)->complete) {
                Packet& before = *std::prev(it);
                before.frames = frame >= before.frame ? frame - before.frame : 0;
                before.complete = true;
            }
            it->frame = frame;
            it->marked = true;
            markedEnd_ = frame;
            any = true;
        }
        TrimLocked();
    }
    if (any)
        cv_.notify_all();
}

void PacketLog::End() {
    {
        std::lock_guard lock(mu_);
        ended_ = true;
        for (Packet& p : packets_)
            p.complete = p.complete || p.marked;
    }
    cv_.notify_all();
}

void PacketLog::TrimLocked() {
    while (packets_.size() > 1 && packets_.front().complete &&
           markedEnd_ - packets_.front().frame > maxFrames_) {
        packets_.pop_front();
        ++firstSeq_;
    }
}

std::optional<PacketLog::Packet> PacketLog::Next(quint64& seq, bool* lost, int waitMs) {
    std::unique_lock lock(mu_);
    *lost = seq < firstSeq_;
    if (*lost)
        seq = firstSeq_;
    const auto ready = [&] {
        return seq - firstSeq_ < packets_.size() && packets_[seq - firstSeq_].complete;
    };
    if (!ready())
        cv_.wait_for(lock, std::chrono::milliseconds(waitMs), ready);
    if (!ready())
        return std::nullopt;
    return packets_[seq - firstSeq_];
}

quint64 PacketLog::MarkedEnd() const {
    std::lock_guard lock(mu_);
    return markedEnd_;
}

quint64 PacketLog::FirstSeq() const {
    std::lock_guard lock(mu_);
    return firstSeq_;
}

bool PacketLog::Ended() const {
    std::lock_guard lock(mu_);
    return ended_;
}

const PacketLog::Codec* PacketLog::GetCodec() const {
    std::lock_guard lock(mu_);
    return codec_.par ? &codec_ : nullptr;
}

int PacketLog::CodecId() const {
    std::lock_guard lock(mu_);
    return codec_.par ? int(codec_.par->codec_id) : 0;
}

void PacketLog::Wake() {
    cv_.notify_all();
}

// --- one segment's file ---

class CopyFeed::Output {
public:
    ~Output() { Close(); }

    // link: the Vorbis headers of the first packet's chain link (null: the codec's own).
    static std::unique_ptr<Output> Open(const QString& path, const PacketLog::Codec& codec,
                                        const std::shared_ptr<const std::vector<uint8_t>>& link) {
        auto out = std::unique_ptr<Output>(new Output);
        out->codec_ = &codec;
        out->container_ = CopyContainerFor(codec.par->codec_id);
        out->outRate_ = codec.outRate;
        if (out->container_ == CopyContainer::kNone)
            return nullptr;
        if (out->container_ == CopyContainer::kMp3) {
            // MP3 frames stand on their own: written back to back they are the file.
            out->raw_.setFileName(path);
            return out->raw_.open(QIODevice::WriteOnly | QIODevice::Truncate) ? std::move(out) : nullptr;
        }
        out->name_ = QFile::encodeName(path);
        if (avio_open(&out->pb_, out->name_.constData(), AVIO_FLAG_WRITE) < 0)
            return nullptr;
        return out->BeginStream(link) ? std::move(out) : nullptr;
    }

    bool Write(const PacketLog::Packet& p) {
        if (container_ == CopyContainer::kMp3)
            return raw_.write(reinterpret_cast<const char*>(p.data.data()), qint64(p.data.size())) ==
                   qint64(p.data.size());
        // A new chain link mid-file: the file's Ogg stream ends and the link's begins after it.
        if (container_ == CopyContainer::kOgg && p.link != link_ && !(EndStream() && BeginStream(p.link)))
            return false;
        int64_t duration =
            p.duration > 0 ? p.duration : av_rescale_q(int64_t(p.frames), AVRational{1, outRate_}, tb_);
        if (vorbis_) {
            // The demuxer's durations of a link that began before the file are not to be trusted:
            // each packet's own block sizes give its sound. A stream's first packet makes none.
            const int samples = av_vorbis_parse_frame(vorbis_, p.data.data(), int(p.data.size()));
            duration = firstPacket_ ? 0 : std::max(samples, 0);
            firstPacket_ = false;
        }
        AVPacket* pkt = av_packet_alloc();
        if (!pkt || av_new_packet(pkt, int(p.data.size())) < 0) {
            av_packet_free(&pkt);
            return false;
        }
        std::copy(p.data.begin(), p.data.end(), pkt->data);
        pkt->pts = pkt->dts = pts_;
        pkt->duration = duration;
        pkt->stream_index = 0;
        av_packet_rescale_ts(pkt, tb_, fmt_->streams[0]->time_base);
        pts_ += duration;
        const int rc = av_write_frame(fmt_, pkt);
        av_packet_free(&pkt);
        return rc >= 0;
    }

    bool Close() {
        bool ok = true;
        if (raw_.isOpen()) {
            ok = raw_.flush();
            raw_.close();
        }
        ok = EndStream() && ok;
        if (pb_)
            avio_closep(&pb_);
        return ok;
    }

private:
    Output() = default;

    // A muxer of its own for the codec (with the link's headers, for Vorbis) writes into the file
    // from where it stands; its timestamps begin at 0.
    bool BeginStream(const std::shared_ptr<const std::vector<uint8_t>>& link) {
        const char* muxer = container_ == CopyContainer::kMp4 ? "ipod" : "ogg";
        if (avformat_alloc_output_context2(&fmt_, nullptr, muxer, name_.constData()) < 0 || !fmt_)
            return false;
        fmt_->pb = pb_;
        AVStream* st = avformat_new_stream(fmt_, nullptr);
        if (!st || avcodec_parameters_copy(st->codecpar, codec_->par) < 0)
            return false;
        AVCodecParameters* par = st->codecpar;
        par->codec_tag = 0;
        tb_ = {codec_->tbNum, codec_->tbDen};
        link_ = link;
        if (link && !SetVorbisHeaders(*par, *link))
            return false;
        if (par->codec_id == AV_CODEC_ID_VORBIS) {
            if (par->sample_rate <= 0)
                return false;
            tb_ = {1, par->sample_rate};
            av_vorbis_parse_free(&vorbis_);
            vorbis_ = av_vorbis_parse_init(par->extradata, par->extradata_size);
            if (!vorbis_)
                return false;
        }
        st->time_base = tb_;
        pts_ = 0;
        firstPacket_ = true;
        // An ADTS stream gets the aac_adtstoasc filter from the muxer itself, which also takes the
        // codec's configuration from the first packet.
        if (avformat_write_header(fmt_, nullptr) < 0)
            return false;
        headerWritten_ = true;
        return true;
    }

    // The link's headers, and the rate and channels its identification header names, which
    // may differ from the first link's.
    static bool SetVorbisHeaders(AVCodecParameters& par, const std::vector<uint8_t>& extradata) {
        av_freep(&par.extradata);
        par.extradata_size = 0;
        par.extradata = static_cast<uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par.extradata)
            return false;
        std::copy(extradata.begin(), extradata.end(), par.extradata);
        par.extradata_size = int(extradata.size());
        // The identification header follows the two laced sizes: "\x01vorbis", version (4
        // bytes), channels (1), rate (4).
        size_t ident = 1;
        for (int size = 0; size < 2; ++size) {
            while (ident < extradata.size() && extradata[ident] == 255)
                ++ident;
            ++ident;
        }
        if (ident + 16 > extradata.size())
            return false;
        const int channels = extradata[ident + 11];
        const uint32_t rate = ReadLe32(&extradata[ident + 12]);
        if (channels <= 0 || rate == 0 || rate > 1000000)
            return false;
        par.sample_rate = int(rate);
        av_channel_layout_uninit(&par.ch_layout);
        av_channel_layout_default(&par.ch_layout, channels);
        return true;
    }

    bool EndStream() {
        bool ok = true;
        if (fmt_) {
            if (headerWritten_)
                ok = av_write_trailer(fmt_) >= 0;
            fmt_->pb = nullptr;  // the file stays open for the next link
            avformat_free_context(fmt_);
            fmt_ = nullptr;
        }
        headerWritten_ = false;
        av_vorbis_parse_free(&vorbis_);
        return ok;
    }

    const PacketLog::Codec* codec_ = nullptr;
    CopyContainer container_ = CopyContainer::kNone;
    AVRational tb_{1, 1};
    int outRate_ = 1;
    QFile raw_;
    QByteArray name_;
    AVIOContext* pb_ = nullptr;
    AVFormatContext* fmt_ = nullptr;
    bool headerWritten_ = false;
    int64_t pts_ = 0;
    std::shared_ptr<const std::vector<uint8_t>> link_;
    AVVorbisParseContext* vorbis_ = nullptr;
    bool firstPacket_ = true;
};

// --- CopyFeed ---

CopyFeed::CopyFeed(std::shared_ptr<PacketLog> log, quint64 delayFrames,
                   std::shared_ptr<const BufferPackets> earlier)
    : log_(std::move(log)), delay_(delayFrames), earlier_(std::move(earlier)) {
    thread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "copy");
        Loop();
    });
}

CopyFeed::~CopyFeed() {
    Stop(0);
    {
        std::lock_guard lock(mu_);
        quit_ = true;
    }
    cv_.notify_all();
    log_->Wake();
    thread_.join();
}

void CopyFeed::Switch(quint32 id, const QString& path, quint64 frame,
                      std::shared_ptr<const SampleHistory> history, std::shared_ptr<const TailData> after) {
    {
        std::lock_guard lock(mu_);
        Segment seg{.id = id, .path = path, .begin = std::max(frame, written_)};
        if (history && after && !path.isEmpty()) {
            seg.after = std::move(after);
            seg.history = std::move(history);
        }
        segments_.push_back(std::move(seg));
    }
    cv_.notify_all();
}

bool CopyFeed::Stop(quint32 id) {
    {
        std::lock_guard lock(mu_);
        if (segments_.empty() || segments_.back().path.isEmpty() || (id != 0 && segments_.back().id != id))
            return id != 0 && HasLocked(id);
        segments_.push_back({.begin = std::max(log_->MarkedEnd(), written_)});
    }
    cv_.notify_all();
    return true;
}

bool CopyFeed::Has(quint32 id) const {
    std::lock_guard lock(mu_);
    return HasLocked(id);
}

bool CopyFeed::HasLocked(quint32 id) const {
    for (const Segment& s : segments_)
        if (s.id == id && !s.path.isEmpty())
            return true;
    return false;
}

bool CopyFeed::SetNotify(quint32 id, Notify notify) {
    std::lock_guard lock(mu_);
    for (Segment& s : segments_) {
        if (s.id == id && !s.path.isEmpty()) {
            s.notify = std::move(notify);
            return true;
        }
    }
    return false;
}

bool CopyFeed::Idle() const {
    std::lock_guard lock(mu_);
    return segments_.empty();
}

void CopyFeed::Finish(Segment& seg, std::unique_ptr<Output>& out) {
    if (out && !out->Close())
        seg.failed = true;
    out.reset();
    if (!seg.notify)
        return;
    if (seg.failed || seg.stalled)
        seg.notify(seg.stalled ? ENCODE_NOTIFY_STALLED : ENCODE_NOTIFY_ENCODER);
    seg.notify(ENCODE_NOTIFY_FREE);
}

bool CopyFeed::ResolveBegins(std::unique_lock<std::mutex>& lock, bool final) {
    // Only this thread takes segments out, so an index stays valid while the lock is released.
    for (size_t i = 0; i < segments_.size(); ++i) {
        if (!segments_[i].after)
            continue;
        const std::shared_ptr<const TailData> after = segments_[i].after;
        const std::shared_ptr<const SampleHistory> history = segments_[i].history;
        const quint64 frame = segments_[i].begin;
        lock.unlock();
        const std::optional<quint64> begin = ContinuationBegin(*history, *after, frame, final);
        lock.lock();
        if (!begin)
            return false;
        Segment& seg = segments_[i];
        // A begin the search moved is where the tail ends; one left as asked keeps the usual rule.
        seg.continued = *begin > seg.begin;
        seg.begin = *begin;
        seg.after.reset();
        seg.history.reset();
    }
    return true;
}

bool CopyFeed::Reached(const Segment& seg, const PacketLog::Packet& p) {
    // A searched begin is where the tail's sound ends, which lies on a packet boundary of the
    // stream, give or take the resampler's few samples: no packet before it is taken again.
    if (seg.continued)
        return p.frame + std::min(kContinuationSlack, p.frames / 2) >= seg.begin;
    // Else the split falls on the packet boundary nearest the begin: the packet goes to the
    // segment whose begin lies before its middle.
    return 2 * p.frame + p.frames >= 2 * seg.begin;
}

void CopyFeed::WriteEarlier(std::unique_lock<std::mutex>& lock, quint64 until, std::unique_ptr<Output>& out) {
    const PacketLog::Codec* codec = log_->GetCodec();
    // A chained Vorbis stream's older packets may belong to an earlier link, whose headers the log
    // no longer has: such a file begins at the log's oldest packet.
    if (!codec || codec->par->codec_id == AV_CODEC_ID_VORBIS)
        return;
    // Only this thread takes segments out: a copy of the front one stays its own while unlocked.
    const Segment seg{.path = segments_.front().path, .begin = segments_.front().begin};
    lock.unlock();
    bool reached = false;
    bool failed = false;
    earlier_->Run(
        seg.begin, [&](const uint8_t* data, size_t size, int64_t duration, quint64 frame, quint64 frames) {
            // The log holds the rest: it goes on from its packet, compared by frame.
            if (frame >= until) {
                reached = true;
                return false;
            }
            PacketLog::Packet p{
                .data = {data, data + size}, .duration = duration, .frame = frame, .frames = frames};
            if (!Reached(seg, p))
                return true;
            if (!out)
                out = Output::Open(seg.path, *codec, nullptr);
            failed = !out || !out->Write(p);
            return !failed;
        });
    lock.lock();
    if (failed) {
        segments_.front().failed = true;
        out.reset();
    } else if (out && !reached) {
        // The buffer's packets ran out before the log's: the file has a hole.
        segments_.front().stalled = true;
    }
}

void CopyFeed::Loop() {
    quint64 seq = log_->FirstSeq();
    std::unique_ptr<Output> out;  // the front segment's file, once its first packet came
    for (;;) {
        bool lost = false;
        const std::optional<PacketLog::Packet> p = log_->Next(seq, &lost, kPollMs);
        std::unique_lock lock(mu_);
        // Packets lost before a file began (an idle writer's) are no hole in it: the file begins
        // at the oldest packet held, or before it from the buffer.
        if (lost && out && !segments_.empty() && !segments_.front().path.isEmpty())
            segments_.front().stalled = true;
        const bool draining = quit_ || log_->Ended();
        if (!p || (!draining && p->frame + p->frames + delay_ > log_->MarkedEnd())) {
            if (draining && !p) {
                // Nothing more will come: every segment ends with what was written.
                while (!segments_.empty()) {
                    Segment seg = std::move(segments_.front());
                    segments_.pop_front();
                    lock.unlock();
                    Finish(seg, out);
                    lock.lock();
                }
                if (quit_)
                    return;
            }
            if (p)
                cv_.wait_for(lock, std::chrono::milliseconds(kPollMs), [this] { return quit_; });
            continue;
        }
        if (segments_.empty()) {
            if (quit_)
                return;
            // Idle: the packet waits for a segment that may want it.
            cv_.wait_for(lock, std::chrono::milliseconds(kPollMs),
                         [this] { return quit_ || !segments_.empty(); });
            continue;
        }
        if (!ResolveBegins(lock, draining)) {
            cv_.wait_for(lock, std::chrono::milliseconds(kPollMs), [this] { return quit_; });
            continue;
        }
        while (segments_.size() >= 2 && Reached(segments_[1], *p)) {
            Segment seg = std::move(segments_.front());
            segments_.pop_front();
            lock.unlock();
            Finish(seg, out);
            lock.lock();
        }
        Segment& seg = segments_.front();
        if (seg.path.isEmpty() && segments_.size() == 1) {
            segments_.pop_front();  // the last file ended; wait idle for the next
            continue;
        }
        ++seq;
        written_ = p->frame + p->frames;
        if (seg.path.isEmpty() || !Reached(seg, *p) || seg.failed)
            continue;
        if (!out && earlier_ && !seg.continued && seg.begin < p->frame) {
            WriteEarlier(lock, p->frame, out);
            if (segments_.front().failed)
                continue;
        }
        const PacketLog::Codec* codec = log_->GetCodec();
        if (!out && codec)
            out = Output::Open(seg.path, *codec, p->link);
        if (!out || !out->Write(*p)) {
            seg.failed = true;
            out.reset();
        }
    }
}

}  // namespace wavelot::audio
