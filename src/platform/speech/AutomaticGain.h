#pragma once

#include <cstddef>

// Brings speech from a quiet or distant microphone up to the level of a near
// one before recognition. The gain follows the level of speech only: frames
// that are not clearly above the background leave it where it is, so silence
// and a steady hum are never lifted. The gain rises slowly, never above a
// ceiling, and falls at once when the output would come near full scale.
// One instance per audio stream; not thread-safe.
class AutomaticGain {
public:
    // Scales `samples` (16 kHz mono, [-1, 1]) in place.
    void process(float *samples, size_t count);

    // The gain now applied, in dB (0 to maximumGainDb).
    double gainDb() const { return m_gainDb; }

    static constexpr double maximumGainDb = 24.0;

private:
    void endFrame();

    double m_frameEnergy = 0.0;
    float m_framePeak = 0.0f;
    int m_frameFilled = 0;
    double m_noiseDb = -70.0;
    double m_speechDb = 0.0; // valid once m_speechFrames > 0
    int m_speechFrames = 0;
    double m_peakLimitDb = maximumGainDb;
    double m_gainDb = 0.0;
    double m_appliedGain = 1.0; // linear, ramps towards m_gainDb over a frame
    double m_gainStep = 0.0;
};
