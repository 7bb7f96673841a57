#include "engine/audio/continuation.h"

#include "engine/audio/sample_history.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace wavelot::audio {

namespace {

constexpr size_t kDecimation = 4;
constexpr double kProbeOffsetS = 0.1;  // the first frames after a join may decode differently
constexpr double kProbeS = 0.5;
constexpr double kConfirmS = 3.0;
constexpr double kRefineS = 0.25;
constexpr double kGuardS = 0.02;  // peaks closer than this are the same peak
constexpr double kCandidateScore = 0.8;
constexpr double kConfirmScore = 0.97;
constexpr double kUniqueMargin = 0.02;  // a runner-up this close makes the answer a guess
constexpr double kSilenceRms = 30.0;    // of 32767, about -60 dBFS
constexpr size_t kMaxCandidates = 4;

size_t FramesOf(double seconds, int rate) {
    return size_t(seconds * rate);
}

struct AvFree {
    void operator()(void* p) const { av_free(p); }
};
template <typename T>
using AvBuffer = std::unique_ptr<T[], AvFree>;
template <typename T>
AvBuffer<T> AvAlloc(size_t n) {
    return AvBuffer<T>(static_cast<T*>(av_mallocz(n * sizeof(T))));
}

struct Transform {
    AVTXContext* ctx = nullptr;
    av_tx_fn fn = nullptr;
    Transform(size_t n, bool inverse) {
        const float scale = inverse ? 1.0f / float(n) : 1.0f;
        if (av_tx_init(&ctx, &fn, AV_TX_FLOAT_RDFT, inverse ? 1 : 0, int(n), &scale, 0) < 0)
            ctx = nullptr;
    }
    ~Transform() { av_tx_uninit(&ctx); }
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;
};

// Pearson correlation of a[0..n) and b[0..n).
double Correlation(const int16_t* a, const int16_t* b, size_t n) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = a[i], y = b[i];
        sa += x;
        sb += y;
        saa += x * x;
        sbb += y * y;
        sab += x * y;
    }
    const double va = saa - sa * sa / double(n), vb = sbb - sb * sb / double(n);
    if (n == 0 || va <= 0 || vb <= 0)
        return 0;
    return (sab - sa * sb / double(n)) / std::sqrt(va * vb);
}

// Mean of each run of kDecimation samples from `from` on, scaled to -1..1.
std::vector<float> Decimate(const int16_t* x, size_t n) {
    std::vector<float> out(n / kDecimation);
    for (size_t i = 0; i < out.size(); ++i) {
        int sum = 0;
        for (size_t k = 0; k < kDecimation; ++k)
            sum += x[i * kDecimation + k];
        out[i] = float(sum) / float(kDecimation * 32768);
    }
    return out;
}

// The tail's spectrum, computed once and correlated with each phase of the probe.
class TailCorrelator {
public:
    TailCorrelator(const std::vector<float>& tail, size_t probeLength)
        : tail_(tail), probeLength_(probeLength) {
        n_ = 1;
        while (n_ < tail.size() + probeLength)
            n_ <<= 1;
        forward_ = std::make_unique<Transform>(n_, false);
        inverse_ = std::make_unique<Transform>(n_, true);
        spectrum_ = AvAlloc<AVComplexFloat>(n_ / 2 + 1);
        auto in = AvAlloc<float>(n_);
        if (!forward_->ctx || !inverse_->ctx || !spectrum_ || !in)
            return;
        std::copy(tail.begin(), tail.end(), in.get());
        forward_->fn(forward_->ctx, spectrum_.get(), in.get(), sizeof(float));
        // Prefix sums of the tail and its square, for each window's energy.
        sum_.assign(tail.size() + 1, 0.0);
        sumSq_.assign(tail.size() + 1, 0.0);
        for (size_t i = 0; i < tail.size(); ++i) {
            sum_[i + 1] = sum_[i] + tail[i];
            sumSq_[i + 1] = sumSq_[i] + double(tail[i]) * tail[i];
        }
        ok_ = true;
    }

    // Normalised cross-correlation of the probe with the tail window at every lag l (the probe's
    // first sample against tail[l]); empty when the probe is silent or the transform failed.
    std::vector<float> Scores(std::vector<float> probe) const {
        const size_t m = probe.size();
        if (!ok_ || m != probeLength_ || tail_.size() < m)
            return {};
        double mean = 0;
        for (float v : probe)
            mean += v;
        mean /= double(m);
        double energy = 0;
        for (float& v : probe) {
            v = float(v - mean);
            energy += double(v) * v;
        }
        if (std::sqrt(energy / double(m)) * 32768.0 < kSilenceRms)
            return {};
        auto in = AvAlloc<float>(n_);
        auto product = AvAlloc<AVComplexFloat>(n_ / 2 + 1);
        auto out = AvAlloc<float>(n_ + 2);
        if (!in || !product || !out)
            return {};
        // Correlation is convolution with the probe reversed.
        for (size_t i = 0; i < m; ++i)
            in[i] = probe[m - 1 - i];
        forward_->fn(forward_->ctx, product.get(), in.get(), sizeof(float));
        for (size_t k = 0; k <= n_ / 2; ++k) {
            const AVComplexFloat a = spectrum_[k], b = product[k];
            product[k] = {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
        }
        inverse_->fn(inverse_->ctx, out.get(), product.get(), sizeof(float));
        std::vector<float> scores(tail_.size() - m + 1, 0.0f);
        for (size_t l = 0; l < scores.size(); ++l) {
            const double s1 = sum_[l + m] - sum_[l], s2 = sumSq_[l + m] - sumSq_[l];
            const double variance = s2 - s1 * s1 / double(m);
            if (std::sqrt(std::max(variance, 0.0) / double(m)) * 32768.0 < kSilenceRms)
                continue;
            scores[l] = float(out[l + m - 1] / std::sqrt(energy * variance));
        }
        return scores;
    }

private:
    const std::vector<float>& tail_;
    size_t probeLength_;
    size_t n_ = 0;
    std::unique_ptr<Transform> forward_, inverse_;
    AvBuffer<AVComplexFloat> spectrum_;
    std::vector<double> sum_, sumSq_;
    bool ok_ = false;
};

struct Candidate {
    double score;
    size_t tailAt;  // full-rate tail index matched with the probe's first sample
};

}  // namespace

size_t ContinuationFramesWanted(int rate) {
    return FramesOf(kProbeOffsetS + kConfirmS, rate);
}

size_t ContinuationFramesNeeded(int rate) {
    return FramesOf(kProbeOffsetS + kProbeS, rate) + kDecimation;
}

std::optional<quint64> FindContinuation(const TailData& tail, quint64 freshFirst,
                                        const std::vector<int16_t>& fresh) {
    const int rate = tail.rate;
    const size_t probeAt = FramesOf(kProbeOffsetS, rate), probeLen = FramesOf(kProbeS, rate);
    const size_t lt = tail.mono.size(), lf = fresh.size();
    if (rate <= 0 || lf < ContinuationFramesNeeded(rate) || lt < probeLen + kDecimation)
        return std::nullopt;

    // Every full-rate lag is covered by correlating the decimated tail with the probe decimated
    // in each of its four phases: phase p against tail block l puts the probe at 4l - p.
    const std::vector<float> coarseTail = Decimate(tail.mono.data(), lt);
    const size_t coarseProbe = probeLen / kDecimation;
    const TailCorrelator correlator(coarseTail, coarseProbe);
    const size_t guard = FramesOf(kGuardS, rate);
    std::vector<Candidate> peaks;
    for (size_t phase = 0; phase < kDecimation; ++phase) {
        const std::vector<float> scores =
            correlator.Scores(Decimate(fresh.data() + probeAt + phase, coarseProbe * kDecimation));
        for (size_t l = 0; l < scores.size(); ++l) {
            const bool peak = (l == 0 || scores[l] >= scores[l - 1]) &&
                              (l + 1 == scores.size() || scores[l] >= scores[l + 1]);
            if (peak && scores[l] >= kCandidateScore && l * kDecimation >= phase)
                peaks.push_back({scores[l], l * kDecimation - phase});
        }
    }
    std::sort(peaks.begin(), peaks.end(),
              [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    std::vector<Candidate> chosen;
    for (const Candidate& c : peaks) {
        const bool near = std::any_of(chosen.begin(), chosen.end(), [&](const Candidate& d) {
            return (c.tailAt > d.tailAt ? c.tailAt - d.tailAt : d.tailAt - c.tailAt) < guard;
        });
        if (!near)
            chosen.push_back(c);
        if (chosen.size() == kMaxCandidates)
            break;
    }

    // Refine each to the sample and confirm it over as long a stretch as both hold.
    std::vector<Candidate> confirmed;
    for (const Candidate& c : chosen) {
        Candidate best{-1, c.tailAt};
        const size_t from = c.tailAt >= kDecimation ? c.tailAt - kDecimation : 0;
        for (size_t q = from; q <= c.tailAt + kDecimation && q < lt; ++q) {
            const size_t n = std::min({FramesOf(kRefineS, rate), lt - q, lf - probeAt});
            const double s = Correlation(tail.mono.data() + q, fresh.data() + probeAt, n);
            if (s > best.score)
                best = {s, q};
        }
        const size_t stretch = std::min({FramesOf(kConfirmS, rate), lt - best.tailAt, lf - probeAt});
        if (stretch < probeLen)
            continue;
        const double score = Correlation(tail.mono.data() + best.tailAt, fresh.data() + probeAt, stretch);
        if (score >= kConfirmScore)
            confirmed.push_back({score, best.tailAt});
    }
    if (confirmed.empty())
        return std::nullopt;
    std::sort(confirmed.begin(), confirmed.end(),
              [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    if (confirmed.size() > 1 && confirmed[0].score - confirmed[1].score < kUniqueMargin)
        return std::nullopt;
    return freshFirst + probeAt + (lt - confirmed[0].tailAt);
}

std::optional<quint64> ContinuationBegin(const SampleHistory& history, const TailData& tail, quint64 frame,
                                         bool final) {
    const quint64 first = history.Start();
    const size_t wanted = ContinuationFramesWanted(tail.rate);
    if (history.End() < first + wanted && !final && !history.Ended())
        return std::nullopt;
    const SampleHistory::Mono fresh = history.MonoMix(first, first + wanted);
    const std::optional<quint64> found = FindContinuation(tail, fresh.first, fresh.samples);
    return std::max({frame, found.value_or(fresh.first), history.Start()});
}

}  // namespace wavelot::audio
