#pragma once
// Decoded frames to interleaved stereo float at the output rate. The converter is built from the
// first frame and again whenever a frame's rate, sample format or channel layout differs from
// the one it was built for.

#include <cstddef>
#include <memory>
#include <vector>

struct AVChannelLayout;
struct AVFrame;
struct SwrContext;

namespace wavelot::audio {

class Resampler {
public:
    explicit Resampler(int outRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    struct Output {
        float* frames = nullptr;  // valid until the next Convert
        size_t count = 0;
        bool newFormat = false;  // the converter was (re)built for this frame
        // Frames of the output that come before the frame's own first sample: what the converter
        // still held from earlier frames (its delay). 0 when it converts without resampling.
        size_t lead = 0;
    };
    // fallbackChannels: the decoder's channel count, for frames that give none. A frame that
    // cannot be converted gives no frames.
    Output Convert(const AVFrame& frame, int fallbackChannels);
    // The input the converter was last built for.
    int InputRate() const { return inRate_; }
    int InputChannels() const;

private:
    struct FreeSwr {
        void operator()(SwrContext* swr) const;
    };
    struct FreeLayout {
        void operator()(AVChannelLayout* layout) const;
    };
    // On the heap so that the FFmpeg headers stay out of this one.
    using Layout = std::unique_ptr<AVChannelLayout, FreeLayout>;

    static Layout FrameLayout(const AVFrame& frame, int fallbackChannels);
    bool BuiltFor(const AVFrame& frame, const AVChannelLayout& layout) const;
    bool Rebuild(const AVFrame& frame, Layout layout);

    int outRate_;
    std::unique_ptr<SwrContext, FreeSwr> swr_;
    Layout inLayout_;
    int inRate_ = 0;
    int inFormat_ = -1;
    std::vector<float> out_;
};

}  // namespace wavelot::audio
