#include "engine/audio/resampler.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

namespace wavelot::audio {

void Resampler::FreeSwr::operator()(SwrContext* swr) const {
    swr_free(&swr);
}

void Resampler::FreeLayout::operator()(AVChannelLayout* layout) const {
    av_channel_layout_uninit(layout);  // a custom-order layout holds a map of its own
    delete layout;
}

Resampler::Resampler(int outRate) : outRate_(outRate), inLayout_(new AVChannelLayout{}) {}

Resampler::~Resampler() = default;

int Resampler::InputChannels() const {
    return inLayout_->nb_channels;
}

Resampler::Output Resampler::Convert(const AVFrame& frame, int fallbackChannels) {
    Output result;
    Layout layout = FrameLayout(frame, fallbackChannels);
    if (!swr_ || !BuiltFor(frame, *layout)) {
        // Chained Ogg and some AAC streams change rate or layout midway.
        if (!Rebuild(frame, std::move(layout)))
            return result;  // skip what cannot be converted
        result.newFormat = true;
    }
    const int cap = swr_get_out_samples(swr_.get(), frame.nb_samples);
    if (cap <= 0)
        return result;
    out_.resize(size_t(cap) * 2);
    const int64_t delay = swr_get_delay(swr_.get(), outRate_);
    auto* outp = reinterpret_cast<uint8_t*>(out_.data());
    const int n = swr_convert(swr_.get(), &outp, cap, const_cast<const uint8_t**>(frame.extended_data),
                              frame.nb_samples);
    if (n <= 0)
        return result;
    result.frames = out_.data();
    result.count = size_t(n);
    result.lead = size_t(std::clamp<int64_t>(delay, 0, n));
    return result;
}

Resampler::Layout Resampler::FrameLayout(const AVFrame& frame, int fallbackChannels) {
    Layout layout(new AVChannelLayout{});
    // The converter needs a known order: a frame that gives only a count (or none) is taken to
    // have the usual layout for it.
    const AVChannelLayout& given = frame.ch_layout;
    if (given.order == AV_CHANNEL_ORDER_UNSPEC || given.nb_channels == 0)
        av_channel_layout_default(layout.get(), given.nb_channels > 0 ? given.nb_channels : fallbackChannels);
    else
        av_channel_layout_copy(layout.get(), &given);
    return layout;
}

bool Resampler::BuiltFor(const AVFrame& frame, const AVChannelLayout& layout) const {
    return inRate_ == frame.sample_rate && inFormat_ == frame.format &&
           av_channel_layout_compare(inLayout_.get(), &layout) == 0;
}

bool Resampler::Rebuild(const AVFrame& frame, Layout layout) {
    swr_.reset();
    SwrContext* made = nullptr;
    AVChannelLayout stereo =
        AV_CHANNEL_LAYOUT_STEREO;  // not const: FFmpeg 5 takes the layouts by plain pointer
    const int rc = swr_alloc_set_opts2(&made, &stereo, AV_SAMPLE_FMT_FLT, outRate_, layout.get(),
                                       AVSampleFormat(frame.format), frame.sample_rate, 0, nullptr);
    std::unique_ptr<SwrContext, FreeSwr> swr(made);
    if (rc < 0 || swr_init(swr.get()) < 0)
        return false;
    swr_ = std::move(swr);
    inRate_ = frame.sample_rate;
    inFormat_ = frame.format;
    inLayout_ = std::move(layout);
    return true;
}

}  // namespace wavelot::audio
