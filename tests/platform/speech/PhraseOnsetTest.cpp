// Where a phrase's voice began, found back from a late estimate through the
// audio's loudness, and never further than the voice or the look-back allows.
#include "platform/speech/PhraseOnset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {
constexpr int rate = 16000;

// Appends `seconds` of a voice-like tone at `amplitude`, or of quiet.
void add(std::vector<float> &audio, double seconds, double amplitude, double hz = 220.0)
{
    const size_t start = audio.size();
    for (size_t i = 0; i < size_t(seconds * rate); ++i) {
        audio.push_back(float(amplitude * std::sin(2 * M_PI * hz * double(start + i) / rate)));
    }
}

PhraseOnset heard(const std::vector<float> &audio)
{
    PhraseOnset onset;
    for (size_t i = 0; i < audio.size(); i += 1024) {
        onset.append(audio.data() + i, std::min<size_t>(1024, audio.size() - i));
    }
    return onset;
}
} // namespace

TEST(PhraseOnset, ALateEstimateMovesBackToWhereTheVoiceBegan)
{
    // Quiet, a soft 40 ms burst (the t of 停), a 20 ms closure, then the vowel.
    std::vector<float> audio;
    add(audio, 2.0, 0.0);
    add(audio, 0.04, 0.08);
    add(audio, 0.02, 0.0);
    add(audio, 1.0, 0.5);
    const PhraseOnset onset = heard(audio);
    EXPECT_NEAR(onset.refine(2.3), 2.0, 0.011);
    // An estimate already at or before the voice stays.
    EXPECT_DOUBLE_EQ(onset.refine(1.9), 1.9);
    EXPECT_DOUBLE_EQ(onset.refine(2.0), 2.0);
    // Unknown, or older than the audio held: unchanged.
    EXPECT_TRUE(std::isnan(onset.refine(NAN)));
    EXPECT_DOUBLE_EQ(PhraseOnset().refine(1.0), 1.0);
}

TEST(PhraseOnset, SpeechRightBeforeThePhraseIsCutNoFurtherThanTheLookBack)
{
    // Words without a pause, then the phrase: all voice.
    std::vector<float> audio;
    add(audio, 1.0, 0.0);
    add(audio, 2.0, 0.4, 180.0);
    add(audio, 1.0, 0.5);
    const PhraseOnset onset = heard(audio);
    EXPECT_NEAR(onset.refine(3.2), 3.2 - PhraseOnset::longestLookBackSeconds, 0.011);
    // A pause longer than a closure ends the walk back.
    std::vector<float> paused;
    add(paused, 1.0, 0.0);
    add(paused, 1.0, 0.4, 180.0);
    add(paused, 0.1, 0.0);
    add(paused, 1.0, 0.5);
    EXPECT_NEAR(heard(paused).refine(2.3), 2.1, 0.011);
}

TEST(PhraseOnset, NoiseUnderTheSpeechIsNotTakenForVoice)
{
    // Noise 15 dB under the voice all the way through.
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.5f * 0.18f / std::sqrt(2.0f));
    std::vector<float> audio;
    add(audio, 2.0, 0.0);
    add(audio, 1.0, 0.5);
    for (float &sample : audio) {
        sample += noise(random);
    }
    EXPECT_NEAR(heard(audio).refine(2.3), 2.0, 0.011);
}
