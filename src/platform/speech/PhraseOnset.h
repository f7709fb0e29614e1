#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

// Where a phrase's voice began, from the loudness of the audio around the
// recognizer's estimate. The recognizer times a syllable from inside it, and
// later for some than for others (停 of 停止录制 a few tenths of a second
// late, 结 of 结束录制 hardly), so a cut made from the estimate alone can keep
// the start of the phrase. Stream seconds, 16 kHz mono; one thread.
class PhraseOnset {
public:
    static constexpr double frameSeconds = 0.01;
    // With no pause before the phrase it is speech all the way back: never
    // further than this before the estimate.
    static constexpr double longestLookBackSeconds = 0.4;
    // Voice is louder than this share of the phrase's loudest 10 ms (the
    // real speaker's 停 begins with 0.3 s of breathy t at about 6 % of the
    // vowel) ...
    static constexpr double voiceShareOfPeak = 0.04;
    // ... and than twice the quiet between words (noise, a hiss).
    static constexpr double voiceOverFloor = 2.0;
    // The closure before a plosive (停's t) is a short quiet inside the voice.
    static constexpr int longestGapFrames = 3;

    void append(const float *samples, size_t count);
    // The onset for an estimate of `seconds`; the estimate itself when the
    // audio around it is not held or shows no onset before it.
    double refine(double seconds) const;

private:
    double rmsOf(int64_t frame) const;

    std::deque<float> m_frames; // RMS of each 10 ms, oldest first
    int64_t m_firstFrame = 0; // stream index of m_frames.front()
    double m_energy = 0; // of the frame being filled
    size_t m_filled = 0;
};
