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
    case AV_CODEC_ID_MP3:
        return fmt == "asf" ? CTYPE_STREAM_WMA_MP3 : CTYPE_STREAM_MP3;
    case AV_CODEC_ID_MP2:
        return CTYPE_STREAM_MP2;
    case AV_CODEC_ID_MP1:
        return CTYPE_STREAM_MP1;
    case AV_CODEC_ID_AAC:
        return fmt.contains("mp4") ? CTYPE_STREAM_MP4 : CTYPE_STREAM_AAC;
    case AV_CODEC_ID_VORBIS:
        return CTYPE_STREAM_OGG;
    case AV_CODEC_ID_OPUS:
        return CTYPE_STREAM_OPUS;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
    case AV_CODEC_ID_WMAVOICE:
    case AV_CODEC_ID_WMALOSSLESS:
        return CTYPE_STREAM_WMA;
    default:
        return CTYPE_STREAM;
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
    return nullptr;
}

bool Decoder::Run(const QByteArray& contentType, const QByteArray& directUrl, int timeoutMs) {
    QuietLogsOnce();
    IoState io{&host_, Clock::now() + std::chrono::milliseconds(timeoutMs), true};
    AVFormatContext* fmt = avformat_alloc_context();
    if (!fmt)
        return false;
    fmt->interrupt_callback.callback = &Interrupt;
    fmt->interrupt_callback.opaque = &io;
    AVIOContext* avio = nullptr;
    const AVInputFormat* iformat = nullptr;
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "probesize", "32768", 0);
    av_dict_set(&opts, "analyzeduration", "0", 0);
    int rc = 0;
    if (directUrl.isEmpty()) {
        auto* buf = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
        avio = avio_alloc_context(buf, kIoBufferSize, 0, &io, &ReadPacket, nullptr, nullptr);
        if (!avio) {
            av_free(buf);
            avformat_free_context(fmt);
            av_dict_free(&opts);
            return false;
        }
        avio->seekable = 0;
        fmt->pb = avio;
        fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
        if (const char* name = DemuxerForContentType(contentType))
            iformat = av_find_input_format(name);
        else
            av_dict_set(&opts, "formatprobesize", "8192", 0);
        rc = avformat_open_input(&fmt, "", iformat, &opts);
    } else {
        NetworkInitOnce();
        av_dict_set(&opts, "rw_timeout", QByteArray::number(qint64(timeoutMs) * 1000).constData(), 0);
        rc = avformat_open_input(&fmt, directUrl.constData(), nullptr, &opts);
    }
    av_dict_free(&opts);
    // From here on only the host's abort ends blocking reads: a live stream may pause.
    io.useDeadline = false;
    if (rc < 0) {
        // avformat_open_input frees the context on failure, but not our I/O context.
        if (avio) {
            av_freep(&avio->buffer);
            avio_context_free(&avio);
        }
        return false;
    }

    int index = -1;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        if (index < 0 && fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            index = int(i);
        else
            fmt->streams[i]->discard = AVDISCARD_ALL;
    }
    AVCodecContext* codec = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool decodedAny = false;
    if (index >= 0 && pkt && frame) {
        AVStream* st = fmt->streams[index];
        const AVCodec* dec = avcodec_find_decoder(st->codecpar->codec_id);
        codec = dec ? avcodec_alloc_context3(dec) : nullptr;
        if (codec && avcodec_parameters_to_context(codec, st->codecpar) >= 0) {
            codec->pkt_timebase = st->time_base;
            if (avcodec_open2(codec, dec, nullptr) < 0)
                avcodec_free_context(&codec);
        } else {
            avcodec_free_context(&codec);
        }
        const quint32 ctype = ChannelType(st->codecpar->codec_id, fmt->iformat ? fmt->iformat->name : nullptr);
        const bool isOgg = fmt->iformat && QByteArray(fmt->iformat->name) == "ogg";
        const bool isAsf = fmt->iformat && QByteArray(fmt->iformat->name) == "asf";
        if (isOgg) {
            QByteArray tags = DictTags(st->metadata);
            if (!tags.isNull())
                host_.OnTags(TAG_OGG, tags, false);
            st->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
        }
        if (isAsf) {
            AVDictionary* d = nullptr;
            av_dict_copy(&d, fmt->metadata, 0);
            if (st->codecpar->bit_rate > 0)
                av_dict_set(&d, "Bitrate", QByteArray::number(qint64(st->codecpar->bit_rate)).constData(), 0);
            host_.OnTags(TAG_WMA, DictTags(d), false);
            av_dict_free(&d);
        }
        Resampler resampler(outRate_);
        auto handleFrame = [&]() -> bool {
            const Resampler::Output out = resampler.Convert(*frame, codec->ch_layout.nb_channels);
            if (out.newFormat) {
                SourceFormat sf;
                sf.freq = resampler.InputRate();
                sf.chans = resampler.InputChannels();
                sf.ctype = ctype;
                sf.origres = codec->bits_per_raw_sample;
                host_.OnFormat(sf);
            }
            if (out.count == 0)
                return true;
            decodedAny = true;
            return host_.OnPcm(out.frames, out.count);
        };
        bool running = codec != nullptr;
        while (running && !host_.Aborted()) {
            int r = av_read_frame(fmt, pkt);
            if (r == AVERROR(EAGAIN))
                continue;
            if (r < 0)
                break;
            if (pkt->stream_index != index) {
                av_packet_unref(pkt);
                continue;
            }
            if (isOgg && (st->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED)) {
                st->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
                host_.OnTags(TAG_OGG, DictTags(st->metadata), true);
            }
            // Joining mid-frame gives a few bad packets: skip them rather than give up.
            if (avcodec_send_packet(codec, pkt) >= 0) {
                while (running && avcodec_receive_frame(codec, frame) >= 0) {
                    running = handleFrame();
                    av_frame_unref(frame);
                }
            }
            av_packet_unref(pkt);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&codec);
    avformat_close_input(&fmt);
    if (avio) {
        av_freep(&avio->buffer);
        avio_context_free(&avio);
    }
    return decodedAny;
}

}  // namespace wavelot::audio
