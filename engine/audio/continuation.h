#pragma once
// Where a stream that joined a broadcast again stops repeating what an earlier stream of it ended
// with. A server answers a new listener with a burst of what it sent last, so after a reconnect
// the first seconds of the new stream are often sound the old one already delivered. Both are
// decoded from the same bytes, so the repeated stretch is the same sound, give or take the first
// frames after the join and a fraction of a sample where the stream is resampled.
//
// The search: a short probe of the new sound is compared with every position of the old tail by
// normalised cross-correlation (FFT, on a mono mix decimated by four); the best positions are
// refined to the sample and confirmed over a longer stretch at the full rate. A match that is weak
// or not unique (silence, a steady tone, a loop repeated exactly) counts as none, and then nothing
// is skipped: repeating a little is better than losing sound. Pure functions, any thread.

#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <vector>

namespace wavelot::audio {

// The last frames of a stream as a mono mix; the frame after its last sample is where the stream
// (and the recording of it) ended.
struct TailData {
    int rate = 0;
    std::vector<int16_t> mono;
};

// How many frames of the new stream, from its first, the search looks at; it can answer with
// fewer (a shorter confirmation), but not before ContinuationFramesNeeded.
size_t ContinuationFramesWanted(int rate);
size_t ContinuationFramesNeeded(int rate);

// fresh: the new stream's mono mix from its frame freshFirst on. The index (in the new stream) of
// the first frame the tail does not already hold, or nullopt when nothing matches with confidence.
std::optional<quint64> FindContinuation(const TailData& tail, quint64 freshFirst,
                                        const std::vector<int16_t>& fresh);

class SampleHistory;

// Where a recording that carries on the one `tail` ended begins in the stream whose decoded sound
// `history` holds: at `frame`, or at the later first frame the tail does not already hold; without
// a confident match, at the first frame held (repeating rather than losing sound). nullopt while
// too little of the stream is decoded to tell, unless `final` or the stream ended: then it answers
// with what there is. Searches on the caller's thread, without holding the history's lock.
std::optional<quint64> ContinuationBegin(const SampleHistory& history, const TailData& tail, quint64 frame,
                                         bool final);

}  // namespace wavelot::audio
