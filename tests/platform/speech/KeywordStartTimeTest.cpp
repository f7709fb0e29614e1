// Where a heard stop phrase began: the recognizer's syllable times, carried
// through the recognition task onto the clock the audio was captured by.
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/KeywordDecoder.h"
#include "platform/speech/PhraseOnset.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFile.h"

#include "support/MainLoop.h"
#include "support/RealSpeech.h"
#include "voice/VoiceClips.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
constexpr double leadSeconds = 2.0;
// The clip's voice begins after half a second of silence.
constexpr double voiceOnset = leadSeconds + 0.5;

std::vector<float> phraseAfterSilence()
{
    std::vector<float> clip;
    QString error;
    EXPECT_TRUE(WavFile::read(VoiceClips::command(QStringLiteral("结束录制")), &clip, &error))
        << error.toStdString();
    std::vector<float> samples(size_t(leadSeconds * 16000), 0.0f);
    samples.insert(samples.end(), clip.begin(), clip.end());
    // Levelled as the audio engine hands it over, buffer by buffer.
    AutomaticGain gain;
    for (size_t i = 0; i < samples.size(); i += 1024) {
        gain.process(samples.data() + i, std::min<size_t>(1024, samples.size() - i));
    }
    return samples;
}

// Feeds the task as the audio engine does, each buffer stamped by `stamp`.
std::optional<double> stopPhraseStartReported(
    const std::function<double(double offsetSeconds)> &stamp, const std::vector<float> &samples = phraseAfterSilence())
{
    auto recognizer = SpeechRecognizer::create(QStringLiteral("zh-CN"));
    auto request = std::make_shared<SpeechAudioBufferRecognitionRequest>();
    std::optional<double> start;
    bool heardStop = false;
    bool final = false;
    auto task = recognizer->recognitionTask(request,
        [&](const std::optional<SpeechRecognitionResult> &result, const std::optional<SpeechRecognitionError> &) {
            if (result) {
                heardStop |= result->formattedString.contains(QStringLiteral("结束录"))
                    || result->formattedString.contains(QStringLiteral("停止录"));
                start = result->stopPhraseStartTime;
                final |= result->isFinal;
            }
        });
    for (size_t i = 0; i < samples.size(); i += 1024) {
        const size_t n = std::min<size_t>(1024, samples.size() - i);
        request->appendAudioPCMBuffer(
            {std::vector<float>(samples.begin() + i, samples.begin() + i + n), 16000, stamp(double(i) / 16000)});
    }
    request->endAudio();
    EXPECT_TRUE(MainLoop::waitUntil([&] { return final; }, 20000));
    EXPECT_TRUE(heardStop);
    return start;
}
} // namespace

TEST(KeywordStartTime, TheDecoderPlacesAStopPhraseAtItsFirstSyllable)
{
    QString error;
    const auto engine = SpeechEngine::load(SpeechEngineLocation::standard(), &error);
    ASSERT_NE(engine, nullptr) << error.toStdString();
    KeywordDecoder decoder(engine);
    const std::vector<float> samples = phraseAfterSilence();
    QStringList heard;
    QList<double> starts;
    for (size_t i = 0; i < samples.size(); i += 1024) {
        heard += decoder.accept({samples.data() + i, std::min<size_t>(1024, samples.size() - i)});
        starts += decoder.keywordStartSeconds();
        ASSERT_EQ(heard.size(), starts.size()) << "one start for each keyword";
    }
    heard += decoder.finish();
    starts += decoder.keywordStartSeconds();
    ASSERT_EQ(heard.size(), 1);
    EXPECT_TRUE(heard.first().startsWith(QStringLiteral("结束录"))) << heard.first().toStdString();
    // At the voice's onset, within a few hundredths of a second.
    EXPECT_GE(starts.first(), voiceOnset - 0.06);
    EXPECT_LE(starts.first(), voiceOnset + 0.1);
}

TEST(KeywordStartTime, TheTaskMapsThePhraseOntoTheCaptureClock)
{
    // Audio captured from 7000 s on the steady clock.
    const std::optional<double> start = stopPhraseStartReported([](double offset) { return 7000.0 + offset; });
    ASSERT_TRUE(start.has_value());
    EXPECT_GE(*start, 7000.0 + voiceOnset - 0.06);
    EXPECT_LE(*start, 7000.0 + voiceOnset + 0.1);

    // Audio whose capture time is unknown gives no time, never a guess.
    EXPECT_FALSE(stopPhraseStartReported([](double) { return NAN; }).has_value());
}

TEST(KeywordStartTime, EveryStopPhraseOfTheRealSpeakerIsPlacedBeforeTheCutMargin)
{
    // The recognizer times 停 of 停止录制 later into its syllable than 结 of
    // 结束录制; the task finds the voice's onset from the audio, so that the
    // cut (the start less 0.2 s) keeps none of either.
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        if (!SpeechKeywords::isStop(keyword.label) || keyword.label.size() < 4) {
            continue;
        }
        RealSpeech::Spoken spoken = RealSpeech::say(VoiceClips::spoken(keyword.label), leadSeconds, 1.0);
        ASSERT_FALSE(spoken.wordStarts.empty());
        AutomaticGain gain;
        for (size_t i = 0; i < spoken.samples.size(); i += 1024) {
            gain.process(spoken.samples.data() + i, std::min<size_t>(1024, spoken.samples.size() - i));
        }
        const std::optional<double> start
            = stopPhraseStartReported([](double offset) { return 100.0 + offset; }, spoken.samples);
        ASSERT_TRUE(start.has_value()) << keyword.label.toStdString();
        const double lag = *start - 100.0 - spoken.wordStarts.front();
        EXPECT_LT(lag, 0.15) << keyword.label.toStdString() << ": placed " << lag << " s after its voice";
        EXPECT_GT(lag, -PhraseOnset::longestLookBackSeconds) << keyword.label.toStdString();
    }
}
