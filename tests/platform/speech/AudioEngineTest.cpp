// The audio engine over the real microphone path, and its tap.
#include "platform/speech/AudioEngine.h"
#include "platform/speech/MicrophoneInput.h"
#include "platform/speech/WavFileInput.h"

#include "platform/media/CaptureSession.h"
#include "platform/media/StaticDeviceProvider.h"
#include "platform/media/SystemDeviceProvider.h"
#include "support/MainLoop.h"
#include "voice/VoiceClips.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

namespace {
bool insideVirtualDevices()
{
    return qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR") && qEnvironmentVariableIsSet("PULSE_SERVER");
}
} // namespace

TEST(AudioEngine, DefaultMicrophoneHearsWhatIsPlayedIntoIt)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    // The engine hears the microphone through the capture session that records it.
    const std::optional<CaptureDevice> microphone = SystemDeviceProvider::shared()->defaultAudioDevice();
    ASSERT_TRUE(microphone.has_value());
    CaptureSession session;
    session.addInput(CaptureDeviceInput::make(*microphone, nullptr));
    session.startRunning();
    AudioEngine engine;
    std::atomic<int> buffers{0};
    std::atomic<bool> wrongFormat{false};
    std::atomic<float> loudest{0.0f};
    AudioInputNode &node = engine.inputNode();
    node.installTapOnBus(0, 1024, node.outputFormatForBus(0), [&](const AudioPCMBuffer &buffer) {
        wrongFormat = wrongFormat || buffer.sampleRate != 16000 || buffer.samples.size() > 1024;
        for (float sample : buffer.samples) {
            loudest = std::max(loudest.load(), std::abs(sample));
        }
        buffers += 1;
    });
    QString error;
    ASSERT_TRUE(engine.start(&error)) << error.toStdString();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return buffers > 0; }, 15000));
    // The virtual microphone is quiet until something is played into its feed.
    QProcess player;
    player.start(QStringLiteral("paplay"),
        {QStringLiteral("--device=veltroscope_feed"), VoiceClips::realSpeech(QStringLiteral("3.wav"))});
    EXPECT_TRUE(MainLoop::waitUntil([&] { return loudest > 0.05f; }, 20000)) << "loudest " << loudest.load();
    player.terminate();
    player.waitForFinished(5000);
    EXPECT_FALSE(wrongFormat);
    engine.stop();
    EXPECT_FALSE(engine.isRunning());
}

TEST(AudioEngine, NoMicrophoneIsRefusedWithAReason)
{
    AudioEngine engine(std::make_unique<MicrophoneInput>(std::make_shared<StaticDeviceProvider>()));
    QString error;
    EXPECT_FALSE(engine.start(&error));
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(error, QStringLiteral("没有找到麦克风"));
}

TEST(AudioEngine, TapGetsSmallChunksUntilRemoved)
{
    AudioEngine engine(std::make_unique<WavFileInput>(VoiceClips::realSpeech(QStringLiteral("6.wav")), 8.0));
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
