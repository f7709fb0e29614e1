// The listener hands the stop action the time its phrase began, on the clock
// the audio engine stamps the microphone's buffers with; a start has none.
#include "platform/SteadyClock.h"
#include "platform/speech/AudioEngine.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFileInput.h"
#include "voice/SpeechRecognitionManager.h"

#include "support/MainLoop.h"
#include "voice/VoiceClips.h"

#include <gtest/gtest.h>

TEST(CommandPhraseTime, StopCarriesWhenItsPhraseBeganAndStartCarriesNone)
{
    SpeechRecognitionManager listener(SpeechRecognizer::create(QStringLiteral("zh-CN")),
        std::make_unique<AudioEngine>(
            std::make_unique<WavFileInput>(VoiceClips::stopThenStart())),
        nullptr);
    std::optional<double> atStop;
    double stopActionTime = 0;
    std::optional<std::optional<double>> atStart;
    listener.setOnStopCommand([&] {
        atStop = listener.lastCommandPhraseStart();
        stopActionTime = SteadyClock::now();
    });
    listener.setOnStartCommand([&] { atStart = listener.lastCommandPhraseStart(); });
    const double listening = SteadyClock::now();
    listener.startListening();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return atStart.has_value(); }, 20000));
    // The phrase is the clip's first words: said after the listening began
    // and before the action that it caused ran.
    ASSERT_TRUE(atStop.has_value());
    EXPECT_GT(*atStop, listening);
    EXPECT_LT(*atStop, stopActionTime);
    EXPECT_FALSE(atStart->has_value());
    // Commands detected on a bare transcript have no audio to time them.
    listener.checkVoiceCommands(QStringLiteral("停止录制"));
    EXPECT_FALSE(listener.lastCommandPhraseStart().has_value());
}
