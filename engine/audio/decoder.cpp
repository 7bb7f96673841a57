#include "engine/audio/decoder.h"

#include "engine/audio/audio_library.h"
#include "engine/audio/resampler.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <chrono>
#include <memory>
#include <mutex>

namespace wavelot::audio {

namespace {

constexpr int kIoBufferSize = 4096;
using Clock = std::chrono::steady_clock;

struct IoState {
    DecoderHost* host;
    Clock::time_point deadline;
    bool useDeadline;
};

int ReadPacket(void* opaque, uint8_t* buf, int size) {
    auto* io = static_cast<IoState*>(opaque);
    size_t n = io->host->ReadInput(reinterpret_cast<char*>(buf), size_t(size));
    return n == 0 ? AVERROR_EOF : int(n);
}

int Interrupt(void* opaque) {
    auto* io = static_cast<IoState*>(opaque);
    if (io->host->Aborted())
        return 1;
    return io->useDeadline && Clock::now() > io->deadline ? 1 : 0;
}

// A stream read from the network ring is one answer: a demuxer that would open further
// addresses by itself (an HLS playlist handed over as audio) gets none, since only the
// transport's playlist resolver follows addresses, within its limits.
int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

QByteArray DictTags(const AVDictionary* dict) {
    QByteArray out;
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX))) {
        out.append(e->key);
        out.append('=');
        out.append(e->value);
        out.append('\0');
    }
    if (out.isEmpty())
        return {};
    out.append('\0');
    return out;
}

quint32 ChannelType(AVCodecID id, const char* formatName) {
    const QByteArray fmt(formatName ? formatName : "");
    switch (id) {
    case AV_CODEC_ID_MP3: return fmt == "asf" ? CTYPE_STREAM_WMA_MP3 : CTYPE_STREAM_MP3;
    case AV_CODEC_ID_MP2: return CTYPE_STREAM_MP2;
    case AV_CODEC_ID_MP1: return CTYPE_STREAM_MP1;
    case AV_CODEC_ID_AAC: return fmt.contains("mp4") ? CTYPE_STREAM_MP4 : CTYPE_STREAM_AAC;
    case AV_CODEC_ID_VORBIS: return CTYPE_STREAM_OGG;
    case AV_CODEC_ID_OPUS: return CTYPE_STREAM_OPUS;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
    case AV_CODEC_ID_WMAVOICE:
    case AV_CODEC_ID_WMALOSSLESS: return CTYPE_STREAM_WMA;
    default: return CTYPE_STREAM;
    }
}

// Bad frames at a join and odd stream headers are normal for radio: they must not flood the
// terminal the program was started from.
void QuietLogsOnce() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

void NetworkInitOnce() {
    static std::once_flag once;
    std::call_once(once, [] { avformat_network_init(); });
}

// A format context is freed with avformat_free_context until avformat_open_input has taken it,
// and closed with avformat_close_input once open.
struct FreeFormat {
    void operator()(AVFormatContext* fmt) const { avformat_free_context(fmt); }
};
struct CloseInput {
    void operator()(AVFormatContext* fmt) const { avformat_close_input(&fmt); }
};
// avio may have swapped the buffer it was given for another, so the one it holds is freed.
struct FreeIo {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct FreeAvMemory {
    void operator()(void* p) const { av_free(p); }
};
struct FreeCodec {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FreePacket {
    void operator()(AVPacket* pkt) const { av_packet_free(&pkt); }
};
struct FreeFrame {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

using UnopenedInput = std::unique_ptr<AVFormatContext, FreeFormat>;
using OpenedInput = std::unique_ptr<AVFormatContext, CloseInput>;
using IoContext = std::unique_ptr<AVIOContext, FreeIo>;
using IoBuffer = std::unique_ptr<unsigned char, FreeAvMemory>;
using CodecContext = std::unique_ptr<AVCodecContext, FreeCodec>;
using Packet = std::unique_ptr<AVPacket, FreePacket>;
using Frame = std::unique_ptr<AVFrame, FreeFrame>;

// av_dict_set and avformat_open_input replace the dictionary through its address, which a
// unique_ptr does not hand out.
class Dictionary {
public:
    Dictionary() = default;
    ~Dictionary() { av_dict_free(&dict_); }
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;

    void Set(const char* key, const char* value) { av_dict_set(&dict_, key, value, 0); }
    AVDictionary** Address() { return &dict_; }
    const AVDictionary* Get() const { return dict_; }

private:
    AVDictionary* dict_ = nullptr;
};

CodecContext OpenCodec(const AVStream& st) {
    const AVCodec* dec = avcodec_find_decoder(st.codecpar->codec_id);
    if (!dec)
        return {};
    CodecContext codec(avcodec_alloc_context3(dec));
    if (!codec || avcodec_parameters_to_context(codec.get(), st.codecpar) < 0)
        return {};
    codec->pkt_timebase = st.time_base;
    if (avcodec_open2(codec.get(), dec, nullptr) < 0)
        return {};
    return codec;
}

// The steps of one Run. Members are freed in reverse order of declaration: the format context
// closes before the I/O context it reads from, and both before the state their callbacks use.
class Session {
public:
    Session(DecoderHost& host, int outRate, int timeoutMs);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Open(const QByteArray& contentType, const QByteArray& directUrl);
    // false: no audio stream (or no memory for the packet and frame).
    bool Select();
    void AnnounceHeaderTags();
    // Returns whether any sound was decoded.
    bool Decode();

private:
    bool AttachHostIo(AVFormatContext& fmt);
    bool DemuxerIs(const char* name) const;
    // The comments of the Ogg chain link read last; later links start afresh.
    QByteArray TakeLinkComments();
    // false from these: the host wants no more sound.
    bool DecodePacket();
    bool ResampleFrame();

    DecoderHost& host_;
    const int timeoutMs_;
    IoState io_;
    IoContext avio_;
    OpenedInput input_;
    AVStream* stream_ = nullptr;
    CodecContext codec_;
    Packet packet_;
    Frame frame_;
    Resampler resampler_;
    quint32 ctype_ = 0;
    bool isOgg_ = false;
    bool decodedAny_ = false;
    bool codecAnnounced_ = false;
};

Session::Session(DecoderHost& host, int outRate, int timeoutMs)
    : host_(host),
      timeoutMs_(timeoutMs),
      io_{&host, Clock::now() + std::chrono::milliseconds(timeoutMs), true},
      resampler_(outRate) {}

bool Session::Open(const QByteArray& contentType, const QByteArray& directUrl) {
    UnopenedInput fmt(avformat_alloc_context());
    if (!fmt)
        return false;
    fmt->interrupt_callback.callback = &Interrupt;
    fmt->interrupt_callback.opaque = &io_;
    Dictionary opts;
    opts.Set("probesize", "32768");
    opts.Set("analyzeduration", "0");
    const AVInputFormat* iformat = nullptr;
    if (directUrl.isEmpty()) {
        if (!AttachHostIo(*fmt))
            return false;
        fmt->io_open = &RefuseOpen;
        if (const char* name = DemuxerForContentType(contentType))
            iformat = av_find_input_format(name);
        else
            opts.Set("formatprobesize", "8192");
    } else {
        NetworkInitOnce();
        opts.Set("rw_timeout", QByteArray::number(qint64(timeoutMs_) * 1000).constData());
    }
    // On failure avformat_open_input frees the context and nulls the pointer, but leaves our
    // I/O context to avio_.
    AVFormatContext* opening = fmt.release();
    const int rc = avformat_open_input(&opening, directUrl.isEmpty() ? "" : directUrl.constData(), iformat,
                                       opts.Address());
    input_.reset(opening);
    // From here on only the host's abort ends blocking reads: a live stream may pause.
    io_.useDeadline = false;
    return rc >= 0;
}

bool Session::AttachHostIo(AVFormatContext& fmt) {
    IoBuffer buffer(static_cast<unsigned char*>(av_malloc(kIoBufferSize)));
    if (!buffer)
        return false;
    avio_.reset(avio_alloc_context(buffer.get(), kIoBufferSize, 0, &io_, &ReadPacket, nullptr, nullptr));
    if (!avio_)
        return false;
    buffer.release();  // avio_ frees it now
    avio_->seekable = 0;
    fmt.pb = avio_.get();
    fmt.flags |= AVFMT_FLAG_CUSTOM_IO;
    return true;
}

bool Session::Select() {
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        AVStream* st = input_->streams[i];
        if (!stream_ && st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            stream_ = st;
        else
            st->discard = AVDISCARD_ALL;
    }
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!stream_ || !packet_ || !frame_)
        return false;
    codec_ = OpenCodec(*stream_);
    ctype_ = ChannelType(stream_->codecpar->codec_id, input_->iformat ? input_->iformat->name : nullptr);
    isOgg_ = DemuxerIs("ogg");
    return true;
}

bool Session::DemuxerIs(const char* name) const {
    return input_->iformat && QByteArray(input_->iformat->name) == name;
}

void Session::AnnounceHeaderTags() {
    if (isOgg_) {
        const QByteArray tags = TakeLinkComments();
        if (!tags.isNull())
            host_.OnTags(TAG_OGG, tags, false, -1);
    }
    if (DemuxerIs("asf")) {
        Dictionary tags;
        av_dict_copy(tags.Address(), input_->metadata, 0);
        if (stream_->codecpar->bit_rate > 0)
            tags.Set("Bitrate", QByteArray::number(qint64(stream_->codecpar->bit_rate)).constData());
        host_.OnTags(TAG_WMA, DictTags(tags.Get()), false, -1);
    }
}

QByteArray Session::TakeLinkComments() {
    const QByteArray tags = DictTags(stream_->metadata);
    // The Ogg demuxer adds a later chain link's comments to those it holds (an Opus link's
    // "artist" becomes "first;second"): emptied here, the stream holds the next link's only.
    av_dict_free(&stream_->metadata);
    stream_->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
    return tags;
}

bool Session::Decode() {
    bool running = codec_ != nullptr || !host_.WantsSound();
    while (running && !host_.Aborted()) {
        const int rc = av_read_frame(input_.get(), packet_.get());
        if (rc == AVERROR(EAGAIN))
            continue;
        if (rc < 0)
            break;
        if (packet_->stream_index == stream_->index)
            running = DecodePacket();
        av_packet_unref(packet_.get());
    }
    return decodedAny_;
}

bool Session::DecodePacket() {
    if (isOgg_ && (stream_->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED))
        host_.OnTags(TAG_OGG, TakeLinkComments(), true, packet_->pos);
    host_.OnPacket(packet_->data, size_t(packet_->size), packet_->pos, packet_->duration);
    if (!host_.WantsSound())
        return true;
    // Joining mid-frame gives a few bad packets: skip them rather than give up.
    if (avcodec_send_packet(codec_.get(), packet_.get()) < 0)
        return true;
    while (avcodec_receive_frame(codec_.get(), frame_.get()) >= 0) {
        if (!codecAnnounced_) {
            // The decoder's view: a raw AAC stream's rate and channels are known only from here.
            AVCodecParameters* par = avcodec_parameters_alloc();
            if (par && avcodec_parameters_from_context(par, codec_.get()) >= 0) {
                host_.OnCodec(*par, stream_->time_base.num, stream_->time_base.den);
                codecAnnounced_ = true;
            }
            avcodec_parameters_free(&par);
        }
        const bool more = ResampleFrame();
        av_frame_unref(frame_.get());
        if (!more)
            return false;
    }
    return true;
}

bool Session::ResampleFrame() {
    const Resampler::Output out = resampler_.Convert(*frame_, codec_->ch_layout.nb_channels);
    if (out.newFormat) {
        SourceFormat format;
        format.freq = resampler_.InputRate();
        format.chans = resampler_.InputChannels();
        format.ctype = ctype_;
        format.origres = codec_->bits_per_raw_sample;
        // The rate of the frames the decoder read, else the one the container's header states;
        // 0 when neither tells.
        const int64_t bitRate = codec_->bit_rate > 0 ? codec_->bit_rate : stream_->codecpar->bit_rate;
        format.kbps = bitRate > 0 ? int((bitRate + 500) / 1000) : 0;
        host_.OnFormat(format);
    }
    if (out.count == 0)
        return true;
    decodedAny_ = true;
    // Where the frame came from in the input: how metadata cut out at a byte position finds the
    // first sample it belongs to.
    const qint64 pos = frame_->pkt_pos >= 0 ? frame_->pkt_pos : packet_->pos;
    return host_.OnPcm(out.frames, out.count, pos, out.lead);
}

}  // namespace

const char* DemuxerForContentType(const QByteArray& contentType) {
    QByteArray t = contentType.toLower();
    qsizetype semi = t.indexOf(';');
    if (semi >= 0)
        t.truncate(semi);
    t = t.trimmed();
    if (t == "audio/mpeg" || t == "audio/mp3" || t == "audio/x-mpeg" || t == "audio/mpeg3")
        return "mp3";
    if (t == "audio/aac" || t == "audio/aacp" || t == "audio/x-aac" || t == "audio/x-aacp")
        return "aac";
    if (t == "application/ogg" || t == "audio/ogg" || t == "audio/x-ogg" || t == "audio/vorbis" ||
        t == "audio/opus" || t == "application/x-ogg")
        return "ogg";
    if (t == "video/x-ms-asf" || t == "audio/x-ms-wma" || t == "application/vnd.ms-asf" ||
        t == "video/x-ms-wma" || t == "application/x-mms-framed")
        return "asf";
    if (t == "video/mp2t" || t == "video/mpeg-ts")
        return "mpegts";
    return nullptr;
}

bool Decoder::Run(const QByteArray& contentType, const QByteArray& directUrl, int timeoutMs) {
    QuietLogsOnce();
    Session session(host_, outRate_, timeoutMs);
    if (!session.Open(contentType, directUrl) || !session.Select())
        return false;
    // The header's tags are handed on even when no decoder opens for the stream.
    session.AnnounceHeaderTags();
    return session.Decode();
}

}  // namespace wavelot::audio
