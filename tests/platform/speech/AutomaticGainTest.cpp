// The level stage before recognition: quiet speech comes up to the level of
// near speech, silence and hiss stay where they are, the gain has a ceiling.
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/WavFile.h"

#include "voice/VoiceClips.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {
std::vector<float> speech()
{
    std::vector<float> samples;
    QString error;
    EXPECT_TRUE(WavFile::read(VoiceClips::realSpeech(QStringLiteral("3.wav")), &samples, &error))
        << error.toStdString();
    return samples;
}

std::vector<float> scaled(std::vector<float> samples, double db)
{
    const float factor = float(std::pow(10.0, db / 20.0));
    for (float &sample : samples) {
        sample *= factor;
    }
    return samples;
}

std::vector<float> hiss(double seconds, double rmsDb, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, float(std::pow(10.0, rmsDb / 20.0)));
    std::vector<float> samples(size_t(seconds * 16000));
    for (float &sample : samples) {
        sample = noise(random);
    }
    return samples;
}

double rmsDb(const std::vector<float> &samples, size_t from = 0, size_t to = SIZE_MAX)
{
    to = std::min(to, samples.size());
    double energy = 0.0;
    for (size_t i = from; i < to; ++i) {
        energy += double(samples[i]) * samples[i];
    }
    return 10.0 * std::log10(std::max(energy / double(std::max<size_t>(1, to - from)), 1e-20));
}

float peak(const std::vector<float> &samples)
{
    float loudest = 0.0f;
    for (float sample : samples) {
        loudest = std::max(loudest, std::abs(sample));
    }
    return loudest;
}

// Runs `samples` through `gain` in microphone-sized chunks.
std::vector<float> through(AutomaticGain &gain, std::vector<float> samples)
{
    for (size_t i = 0; i < samples.size(); i += 1024) {
        gain.process(samples.data() + i, std::min<size_t>(1024, samples.size() - i));
    }
    return samples;
}
} // namespace

TEST(AutomaticGain, QuietSpeechComesUpToTheLevelOfNearSpeech)
{
    const std::vector<float> near = speech();
    ASSERT_FALSE(near.empty());
    AutomaticGain nearGain, quietGain;
    const std::vector<float> nearOut = through(nearGain, near);
    const std::vector<float> quietOut = through(quietGain, scaled(near, -20.0));
    // After the first second, where the level is still being found.
    const size_t settled = 16000;
    EXPECT_NEAR(rmsDb(quietOut, settled), rmsDb(nearOut, settled), 4.0);
    EXPECT_GT(quietGain.gainDb(), 14.0);
    EXPECT_LE(peak(quietOut), 1.0f);
    // Speech that is already near is left about as it is.
    EXPECT_NEAR(rmsDb(nearOut), rmsDb(near), 6.0);
}

TEST(AutomaticGain, SilenceAndHissAreNeverLifted)
{
    AutomaticGain gain;
    std::vector<float> silence(16000 * 5, 0.0f);
    EXPECT_EQ(through(gain, silence), silence);

    const std::vector<float> quietRoom = hiss(10.0, -70.0);
    const std::vector<float> out = through(gain, quietRoom);
    EXPECT_NEAR(rmsDb(out), rmsDb(quietRoom), 0.5);
    EXPECT_EQ(gain.gainDb(), 0.0);

    // After quiet speech has raised the gain, the pause that follows does not raise it further.
    through(gain, scaled(speech(), -20.0));
    const double afterSpeech = gain.gainDb();
    through(gain, hiss(10.0, -70.0, 2));
    EXPECT_LE(gain.gainDb(), afterSpeech + 0.01);
}

TEST(AutomaticGain, CeilingHoldsForFaintSpeechAndLoudSoundsAreNotPushedOverFullScale)
{
    AutomaticGain gain;
    through(gain, scaled(speech(), -45.0));
    EXPECT_LE(gain.gainDb(), AutomaticGain::maximumGainDb);
    EXPECT_GT(gain.gainDb(), AutomaticGain::maximumGainDb - 1.0);

    // The speaker comes close: a voice at full level right after whispering.
    const std::vector<float> loud = through(gain, speech());
    EXPECT_LE(peak(loud), 1.0f);
    EXPECT_LT(gain.gainDb(), 6.0);
    size_t clipped = 0;
    for (float sample : loud) {
        clipped += std::abs(sample) >= 0.999f ? 1 : 0;
    }
    EXPECT_LT(clipped, loud.size() / 1000) << "clipped samples";
}
