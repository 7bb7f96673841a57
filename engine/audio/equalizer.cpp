#include "engine/audio/equalizer.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace wavelot::audio {

namespace {

std::string FilterName(FxHandle id) {
    return "eq" + std::to_string(id);
}

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    return buf;
}

}  // namespace

DX8ParamEq ClampParamEq(const DX8ParamEq& p, int rate) {
    DX8ParamEq out;
    out.fCenter = std::clamp(p.fCenter, 20.0f, float(rate) * 0.45f);
    out.fBandwidth = std::clamp(p.fBandwidth, 1.0f, 36.0f);
    out.fGain = std::clamp(p.fGain, -15.0f, 15.0f);
    return out;
}

EqualizerChain::~EqualizerChain() {
    Release();
}

void EqualizerChain::Release() {
    avfilter_graph_free(&graph_);
    src_ = sink_ = nullptr;
    av_frame_free(&in_);
    av_frame_free(&out_);
}

void EqualizerChain::Configure(std::vector<EqBand> bands) {
    for (EqBand& b : bands)
        b.params = ClampParamEq(b.params, rate_);
    bool sameSet = bands.size() == bands_.size();
    for (size_t i = 0; sameSet && i < bands.size(); ++i)
        sameSet = bands[i].id == bands_[i].id;
    if (sameSet && graph_) {
        for (size_t i = 0; i < bands.size(); ++i) {
            const DX8ParamEq& was = bands_[i].params;
            const DX8ParamEq& now = bands[i].params;
            const std::string name = FilterName(bands[i].id);
            if (was.fCenter != now.fCenter)
                avfilter_graph_send_command(graph_, name.c_str(), "f", Num(now.fCenter).c_str(), nullptr, 0,
                                            0);
            if (was.fBandwidth != now.fBandwidth)
                avfilter_graph_send_command(graph_, name.c_str(), "w", Num(now.fBandwidth / 12.0).c_str(),
                                            nullptr, 0, 0);
            if (was.fGain != now.fGain)
                avfilter_graph_send_command(graph_, name.c_str(), "g", Num(now.fGain).c_str(), nullptr, 0, 0);
        }
        bands_ = std::move(bands);
        return;
    }
    bands_ = std::move(bands);
    Release();
    broken_ = false;
    if (!bands_.empty() && !Build()) {
        Release();
        broken_ = true;
    }
}

bool EqualizerChain::Build() {
    graph_ = avfilter_graph_alloc();
    if (!graph_)
        return false;
    graph_->nb_threads = 1;
    const std::string srcArgs = "sample_rate=" + std::to_string(rate_) +
                                ":sample_fmt=fltp:channel_layout=stereo:time_base=1/" + std::to_string(rate_);
    if (avfilter_graph_create_filter(&src_, avfilter_get_by_name("abuffer"), "in", srcArgs.c_str(), nullptr,
                                     graph_) < 0)
        return false;
    if (avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr,
                                     graph_) < 0)
        return false;
    const AVSampleFormat fmts[] = {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_NONE};
    if (av_opt_set_int_list(sink_, "sample_fmts", fmts, AV_SAMPLE_FMT_NONE, AV_OPT_SEARCH_CHILDREN) < 0)
        return false;
    AVFilterContext* prev = src_;
    for (const EqBand& b : bands_) {
        const std::string args = "f=" + Num(b.params.fCenter) +
                                 ":width_type=o:width=" + Num(b.params.fBandwidth / 12.0) +
                                 ":g=" + Num(b.params.fGain);
        AVFilterContext* f = nullptr;
        if (avfilter_graph_create_filter(&f, avfilter_get_by_name("equalizer"), FilterName(b.id).c_str(),
                                         args.c_str(), nullptr, graph_) < 0)
            return false;
        if (avfilter_link(prev, 0, f, 0) < 0)
            return false;
        prev = f;
    }
    if (avfilter_link(prev, 0, sink_, 0) < 0)
        return false;
    if (avfilter_graph_config(graph_, nullptr) < 0)
        return false;
    in_ = av_frame_alloc();
    out_ = av_frame_alloc();
    return in_ && out_;
}

void EqualizerChain::Process(float* frames, size_t count) {
    if (!graph_ || broken_ || count == 0)
        return;
    av_frame_unref(in_);
    in_->format = AV_SAMPLE_FMT_FLTP;
    in_->sample_rate = rate_;
    in_->nb_samples = int(count);
    av_channel_layout_default(&in_->ch_layout, 2);
    if (av_frame_get_buffer(in_, 0) < 0)
        return;
    auto* l = reinterpret_cast<float*>(in_->data[0]);
    auto* r = reinterpret_cast<float*>(in_->data[1]);
    for (size_t i = 0; i < count; ++i) {
        l[i] = frames[2 * i];
        r[i] = frames[2 * i + 1];
    }
    if (av_buffersrc_add_frame(src_, in_) < 0)
        return;
    size_t done = 0;
    while (done < count && av_buffersink_get_frame(sink_, out_) >= 0) {
        const auto* ol = reinterpret_cast<const float*>(out_->data[0]);
        const auto* orr = reinterpret_cast<const float*>(out_->data[1]);
        size_t n = std::min(size_t(out_->nb_samples), count - done);
        for (size_t i = 0; i < n; ++i) {
            frames[2 * (done + i)] = ol[i];
            frames[2 * (done + i) + 1] = orr[i];
        }
        done += n;
        av_frame_unref(out_);
    }
}

}  // namespace wavelot::audio
