// The real speaker's phrases and conditions the voice tests and benchmarks
// rest on: words joined as said, and each condition what it claims to be.
#include "support/RealSpeech.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
double seconds(const std::vector<float> &samples)
{
    return double(samples.size()) / RealSpeech::sampleRate;
}

double rms(const std::vector<float> &samples)
{
    double energy = 0;
    for (float s : samples) {
        energy += double(s) * s;
    }
    return samples.empty() ? 0.0 : std::sqrt(energy / double(samples.size()));
}
} // namespace

TEST(RealSpeech, WordsJoinWithNoGapShortGapsAndPausesAndMissingOnesAreNamed)
{
    ASSERT_TRUE(RealSpeech::available()) << RealSpeech::wordsDir().toStdString();
    const double lu = seconds(RealSpeech::word(QStringLiteral("录")));
    const double zhi = seconds(RealSpeech::word(QStringLiteral("制")));
    ASSERT_GT(lu, 0.1);
    ASSERT_GT(zhi, 0.1);
    // Trimmed: a single syllable, not the recording's quiet around it.
    EXPECT_LT(lu, 1.2);

    const auto voiced = [](const QString &text) { return seconds(RealSpeech::say(text, 0.0, 0.0).samples); };
    EXPECT_NEAR(voiced(QStringLiteral("录+制")), lu + zhi, 0.001);
    // A word not recorded is made of recorded ones, said as one word.
    EXPECT_NEAR(voiced(QStringLiteral("录制")), lu + zhi, 0.001);
    EXPECT_NEAR(voiced(QStringLiteral("录 制")), lu + zhi + 0.08, 0.001);
    EXPECT_GT(voiced(QStringLiteral("录，制")), voiced(QStringLiteral("录 制")) + 0.2);
    EXPECT_GT(voiced(QStringLiteral("录。制")), voiced(QStringLiteral("录，制")));

    const RealSpeech::Spoken spoken = RealSpeech::say(QStringLiteral("开始 录像"));
    EXPECT_EQ(spoken.words, (QStringList{QStringLiteral("开始"), QStringLiteral("录像")}));
    ASSERT_EQ(spoken.wordStarts.size(), 2u);
    EXPECT_NEAR(spoken.wordStarts[0], 0.5, 0.001);
    EXPECT_NEAR(seconds(spoken.samples), spoken.wordEnds[1] + 1.0, 0.001);
    // No clip is made of a phrase the speaker never said whole.
    EXPECT_EQ(RealSpeech::say(QStringLiteral("我 录")).missing, QStringLiteral("我"));
    EXPECT_TRUE(RealSpeech::clip(QStringLiteral("我 录")).isEmpty());
}

TEST(RealSpeech, ConditionsChangeTempoLevelAndNoiseAsNamed)
{
    const std::vector<float> clean = RealSpeech::say(QStringLiteral("今天 的 内容")).samples;
    ASSERT_FALSE(clean.empty());
    EXPECT_NEAR(seconds(RealSpeech::inCondition(clean, QStringLiteral("faster"))), seconds(clean) / 1.25, 0.05);
    EXPECT_NEAR(seconds(RealSpeech::inCondition(clean, QStringLiteral("slower"))), seconds(clean) / 0.8, 0.05);
    EXPECT_NEAR(seconds(RealSpeech::inCondition(clean, QStringLiteral("higher"))), seconds(clean), 0.05);
    EXPECT_NEAR(20 * std::log10(rms(RealSpeech::inCondition(clean, QStringLiteral("quiet"))) / rms(clean)), -20.0, 0.5);
    // The noise runs through the quiet too: what is added is well below the voice.
    const std::vector<float> noisy = RealSpeech::inCondition(clean, QStringLiteral("noise"));
    ASSERT_EQ(noisy.size(), clean.size());
    std::vector<float> added(clean.size());
    for (size_t i = 0; i < clean.size(); ++i) {
        added[i] = noisy[i] - clean[i];
    }
    const double below = 20 * std::log10(rms(clean) / rms(added));
    EXPECT_GT(below, 8.0);
    EXPECT_LT(below, 15.0);
    EXPECT_GT(rms(RealSpeech::inCondition(clean, QStringLiteral("reverb"))), rms(clean) * 0.3);
}
