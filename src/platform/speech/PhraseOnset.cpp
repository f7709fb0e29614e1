#include "platform/speech/PhraseOnset.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr size_t samplesPerFrame = 160;
// A few seconds: a phrase is heard within them, and the floor is read over them.
constexpr size_t heldFrames = 400;
// Looked at after the estimate for the phrase's loudness.
constexpr int64_t peakFrames = 50;
} // namespace

void PhraseOnset::append(const float *samples, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        m_energy += double(samples[i]) * samples[i];
        if (++m_filled == samplesPerFrame) {
            m_frames.push_back(float(std::sqrt(m_energy / samplesPerFrame)));
            m_energy = 0;
            m_filled = 0;
            if (m_frames.size() > heldFrames) {
                m_frames.pop_front();
                ++m_firstFrame;
            }
        }
    }
}

double PhraseOnset::rmsOf(int64_t frame) const
{
    return m_frames[size_t(frame - m_firstFrame)];
}

double PhraseOnset::refine(double seconds) const
{
    if (!std::isfinite(seconds) || m_frames.empty()) {
        return seconds;
    }
    const int64_t estimate = int64_t(std::floor(seconds / frameSeconds));
    const int64_t lastFrame = m_firstFrame + int64_t(m_frames.size()) - 1;
    const int64_t earliest
        = std::max(m_firstFrame, estimate - int64_t(std::lround(longestLookBackSeconds / frameSeconds)));
    if (estimate < m_firstFrame || estimate > lastFrame || earliest >= estimate) {
        return seconds;
    }
    double peak = 0;
    for (int64_t f = estimate; f <= std::min(lastFrame, estimate + peakFrames); ++f) {
        peak = std::max(peak, rmsOf(f));
    }
    // The quiet between words: the quietest twentieth of what is held. With
    // hardly any quiet held it reads as voice, and the estimate then stays.
    std::vector<float> sorted(m_frames.begin(), m_frames.end());
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 20, sorted.end());
    const double floor = sorted[sorted.size() / 20];
    const double threshold = std::max(peak * voiceShareOfPeak, floor * voiceOverFloor);
    if (peak <= threshold) {
        return seconds;
    }
    // Back through the voice the estimate sits in, across short closures.
    int64_t onset = estimate + 1;
    int gap = 0;
    for (int64_t f = estimate; f >= earliest; --f) {
        if (rmsOf(f) > threshold) {
            onset = f;
            gap = 0;
        } else if (++gap > longestGapFrames) {
            break;
        }
    }
    // Only ever earlier: an estimate in a quiet stretch stays where it is.
    return std::min(seconds, double(onset) * frameSeconds);
}
