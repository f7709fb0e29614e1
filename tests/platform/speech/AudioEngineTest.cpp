// The audio engine over the real microphone path, and its tap.
#include "platform/speech/AudioEngine.h"
#include "platform/speech/WavFileInput.h"

#include "support/MainLoop.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

TEST(AudioEngine, DefaultMicrophoneEitherDeliversAudioOrSaysWhy)
{
    // CI machines may or may not offer a (virtual) microphone; both ways must
    // end quickly and cleanly.
    AudioEngine engine;
    std::atomic<int> buffers{0};
    std::atomic<bool> wrongFormat{false};
    AudioInputNode &node = engine.inputNode();
    node.installTapOnBus(0, 1024, node.outputFormatForBus(0), [&](const AudioPCMBuffer &buffer) {
        wrongFormat = wrongFormat || buffer.sampleRate != 16000 || buffer.samples.size() > 1024;
        buffers += 1;
    });
    QElapsedTimer timer;
    timer.start();
    QString error;
    const bool started = engine.start(&error);
    EXPECT_LT(timer.elapsed(), 8000);
    EXPECT_EQ(engine.isRunning(), started);
    if (started) {
        EXPECT_TRUE(MainLoop::waitUntil([&] { return buffers > 0; }, 5000));
        EXPECT_FALSE(wrongFormat);
        engine.stop();
        EXPECT_FALSE(engine.isRunning());
    } else {
        std::printf("no microphone here: %s\n", qPrintable(error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(AudioEngine, TapGetsSmallChunksUntilRemoved)
{
    AudioEngine engine(std::make_unique<WavFileInput>(
        QStringLiteral(VELTROSCOPE_DEPS_DIR "/models/kws-zh-wenetspeech-3.3M/test_wavs/6.wav"), 8.0));
    std::atomic<int> buffers{0};
    std::atomic<size_t> largest{0};
    AudioInputNode &node = engine.inputNode();
    node.installTapOnBus(0, 256, node.outputFormatForBus(0), [&](const AudioPCMBuffer &buffer) {
        largest = std::max(largest.load(), buffer.samples.size());
        buffers += 1;
    });
    QString error;
    ASSERT_TRUE(engine.start(&error)) << error.toStdString();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return buffers >= 8; }, 5000));
    EXPECT_EQ(largest.load(), 256u);
    node.removeTapOnBus(0);
    const int seen = buffers;
    MainLoop::spin(100);
    EXPECT_EQ(buffers.load(), seen);
    engine.stop();
}
