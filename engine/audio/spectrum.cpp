#include "engine/audio/spectrum.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include <cmath>
#include <map>
#include <memory>

namespace wavelot::audio {

void SpectrumSnapshot::Append(const float* frames, size_t count) {
    std::lock_guard lock(mu_);
    for (size_t i = 0; i < count; ++i) {
        ring_[pos_] = 0.5f * (frames[2 * i] + frames[2 * i + 1]);
        pos_ = (pos_ + 1) % kHistory;
    }
}

std::vector<float> SpectrumSnapshot::Last(size_t n) const {
    std::lock_guard lock(mu_);
    n = std::min(n, kHistory);
    std::vector<float> out(n);
    size_t start = (pos_ + kHistory - n) % kHistory;
    for (size_t i = 0; i < n; ++i)
        out[i] = ring_[(start + i) % kHistory];
    return out;
}

namespace {

// One transform per size and thread: av_tx contexts are not meant to be shared between threads.
struct TxCache {
    struct Tx {
        AVTXContext* ctx = nullptr;
        av_tx_fn fn = nullptr;
        ~Tx() { av_tx_uninit(&ctx); }
    };
    std::map<size_t, std::unique_ptr<Tx>> bySize;
    Tx* Get(size_t n) {
        auto& slot = bySize[n];
        if (!slot) {
            slot = std::make_unique<Tx>();
            float scale = 1.0f;
            if (av_tx_init(&slot->ctx, &slot->fn, AV_TX_FLOAT_RDFT, 0, int(n), &scale, 0) < 0) {
                slot.reset();
                return nullptr;
            }
        }
        return slot.get();
    }
};

}  // namespace

bool MagnitudeSpectrum(const std::vector<float>& samples, float* out) {
    const size_t n = samples.size();
    if (n < 256 || n > 8192 || (n & (n - 1)) != 0)
        return false;
    thread_local TxCache cache;
    TxCache::Tx* tx = cache.Get(n);
    if (!tx)
        return false;
    auto* in = static_cast<float*>(av_malloc(n * sizeof(float)));
    auto* bins = static_cast<AVComplexFloat*>(av_malloc((n / 2 + 1) * sizeof(AVComplexFloat)));
    if (!in || !bins) {
        av_free(in);
        av_free(bins);
        return false;
    }
    const double twoPi = 2.0 * M_PI;
    for (size_t i = 0; i < n; ++i)
        in[i] = samples[i] * float(0.5 - 0.5 * std::cos(twoPi * double(i) / double(n)));
    tx->fn(tx->ctx, bins, in, sizeof(float));
    // A sine of amplitude A gives A * n / 4 at its bin through a Hann window.
    const float scale = 4.0f / float(n);
    for (size_t k = 0; k < n / 2; ++k)
        out[k] = std::hypot(bins[k].re, bins[k].im) * scale;
    av_free(in);
    av_free(bins);
    return true;
}

}  // namespace wavelot::audio
