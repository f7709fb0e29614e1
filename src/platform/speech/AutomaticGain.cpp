#include "platform/speech/AutomaticGain.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int frameSamples = 160; // 10 ms
constexpr double frameSeconds = 0.01;
// Mean level of speech frames from a near microphone (a voice peaking near -3 dBFS).
constexpr double targetSpeechDb = -23.0;
// A frame is speech when it stands this far above the background...
constexpr double speechAboveNoiseDb = 12.0;
// ...and above this absolute level: nothing quieter is worth lifting.
constexpr double quietestSpeechDb = -62.0;
// The background estimate drops to any quieter frame and creeps up slowly,
// so it sits at the floor between words.
constexpr double noiseRisePerSecondDb = 1.0;
// The first second of speech finds the level quickly; after that a louder
// voice brings the gain down just as quickly, while a quieter one lifts it
// only slowly (a speaker who leans back), never for a single soft word.
constexpr double settlingSeconds = 1.0;
constexpr double settlingTimeConstant = 0.2;
constexpr double steadyTimeConstant = 3.0;
// Output peaks stay below this; after a loud peak the gain may rise again this fast.
constexpr double peakCeilingDb = -3.0;
constexpr double peakRecoveryPerSecondDb = 6.0;

double toDb(double amplitude)
{
    return 20.0 * std::log10(std::max(amplitude, 1e-9));
}
} // namespace

void AutomaticGain::process(float *samples, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const float in = samples[i];
        m_frameEnergy += double(in) * in;
        m_framePeak = std::max(m_framePeak, std::abs(in));
        m_appliedGain += m_gainStep;
        samples[i] = std::clamp(float(in * m_appliedGain), -1.0f, 1.0f);
        if (++m_frameFilled == frameSamples) {
            endFrame();
            // The next frame ramps smoothly to the new gain.
            const double target = std::pow(10.0, m_gainDb / 20.0);
            m_gainStep = (target - m_appliedGain) / frameSamples;
        }
    }
}

void AutomaticGain::endFrame()
{
    const double levelDb = toDb(std::sqrt(m_frameEnergy / frameSamples));
    const double peakDb = toDb(m_framePeak);
    m_frameEnergy = 0.0;
    m_framePeak = 0.0f;
    m_frameFilled = 0;

    if (levelDb < m_noiseDb) {
        m_noiseDb = levelDb;
    } else {
        m_noiseDb += noiseRisePerSecondDb * frameSeconds;
    }
    if (levelDb > m_noiseDb + speechAboveNoiseDb && levelDb > quietestSpeechDb) {
        if (m_speechFrames == 0) {
            m_speechDb = levelDb;
        } else {
            const bool settling = m_speechFrames * frameSeconds < settlingSeconds;
            const double tau = settling || levelDb > m_speechDb ? settlingTimeConstant : steadyTimeConstant;
            m_speechDb += (levelDb - m_speechDb) * (1.0 - std::exp(-frameSeconds / tau));
        }
        ++m_speechFrames;
    }
    // A loud peak lowers the ceiling at once; it recovers slowly.
    const double peakRoom = peakCeilingDb - peakDb;
    m_peakLimitDb = peakRoom < m_peakLimitDb
        ? peakRoom
        : std::min(maximumGainDb, m_peakLimitDb + peakRecoveryPerSecondDb * frameSeconds);
    const double wanted = m_speechFrames > 0 ? targetSpeechDb - m_speechDb : 0.0;
    m_gainDb = std::clamp(std::min(wanted, m_peakLimitDb), 0.0, maximumGainDb);
}
