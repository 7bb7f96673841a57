#pragma once
// FFmpeg demuxing and decoding of one stream on the decoder thread, resampled to interleaved
// stereo float at the output rate. Reads through a custom I/O context from the network ring,
// or, for mms addresses, lets libavformat open the address itself.

#include <QByteArray>

#include <cstddef>
#include <cstdint>

struct AVCodecParameters;

namespace wavelot::audio {

struct SourceFormat {
    int freq = 0;
    int chans = 0;
    quint32 ctype = 0;
    int origres = 0;
    int kbps = 0;  // bit rate the codec or the container states, kbit/s rounded; 0 unknown
};

class DecoderHost {
public:
    virtual ~DecoderHost() = default;
    // Network bytes for the custom I/O; 0 at the end of the stream.
    virtual size_t ReadInput(char* out, size_t max) = 0;
    virtual bool Aborted() const = 0;
    virtual void OnFormat(const SourceFormat& format) = 0;
    // kind TAG_OGG or TAG_WMA; chainLink: a new Ogg chain link brought the tags, which take
    // effect with the sound of the packet at byte position pos of the input (-1: unknown).
    virtual void OnTags(quint32 kind, const QByteArray& tags, bool chainLink, qint64 pos) = 0;
    // Decoded sound. sourcePos: the input byte position of the packet the frame was decoded from
    // (-1: unknown); that frame's own first sample is frames[lead] (the resampler may still hand
    // out sound of earlier frames first). false: stop decoding.
    virtual bool OnPcm(float* frames, size_t count, qint64 sourcePos, size_t lead) = 0;
    // The packets as demuxed, before they are decoded (pos: their input byte position, -1
    // unknown; duration in the time base OnCodec names, 0 unknown), and once the decoder has
    // made its first sound, the codec's parameters as it found them.
    virtual void OnPacket(const uint8_t* /*data*/, size_t /*size*/, qint64 /*pos*/, int64_t /*duration*/) {}
    virtual void OnCodec(const AVCodecParameters& /*par*/, int /*timeBaseNum*/, int /*timeBaseDen*/) {}
    // false: the packets are only demuxed and handed to OnPacket, none is decoded.
    virtual bool WantsSound() const { return true; }
};

// The demuxer libavformat should use for an answer's content type; null to probe.
const char* DemuxerForContentType(const QByteArray& contentType);

class Decoder {
public:
    Decoder(DecoderHost& host, int outRate) : host_(host), outRate_(outRate) {}
    // Runs until the input ends, fails or is aborted. directUrl non-empty: open that address
    // with libavformat (timeoutMs bounds the open). Returns whether any sound was decoded.
    bool Run(const QByteArray& contentType, const QByteArray& directUrl, int timeoutMs);

private:
    DecoderHost& host_;
    int outRate_;
};

}  // namespace wavelot::audio
