// The audio engine hearing the capture session's microphone: starting and
// stopping the engine never touches the device, and a microphone that fails
// or is missing reaches the engine as a reason.
#include "platform/speech/CaptureAudioInput.h"
#include "platform/speech/AudioEngine.h"

#include "../media/CaptureSessionTestSupport.h"
#include "platform/media/CaptureSessionEngine.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>

namespace {
struct Tap {
    std::atomic<int> buffers{0};
    std::atomic<int> untimed{0};
    std::atomic<float> loudest{0.0f};

    void install(AudioEngine &engine)
    {
        AudioInputNode &node = engine.inputNode();
        node.installTapOnBus(0, 1024, node.outputFormatForBus(0), [this](const AudioPCMBuffer &buffer) {
            for (float sample : buffer.samples) {
                loudest = std::max(loudest.load(), std::abs(sample));
            }
            untimed += std::isfinite(buffer.captureTime) ? 0 : 1;
            buffers += 1;
        });
    }
};
} // namespace

TEST(CaptureAudioInput, StoppingTheEngineLeavesTheSessionMicrophoneRunning)
{
    RunningSession running;
    AudioEngine engine;
    Tap tap;
    tap.install(engine);
    for (int round = 0; round < 3; ++round) {
        QString error;
        ASSERT_TRUE(engine.start(&error)) << error.toStdString();
        const int before = tap.buffers;
        ASSERT_TRUE(MainLoop::waitUntil([&] { return tap.buffers > before + 5; }, 15000)) << "round " << round;
        engine.stop();
        EXPECT_FALSE(engine.isRunning());
        EXPECT_TRUE(running.session.engine()->isAudioFlowing()) << "the take's microphone runs on";
        const int afterStop = tap.buffers;
        MainLoop::spin(100);
        EXPECT_EQ(tap.buffers, afterStop) << "nothing heard while stopped";
    }
    EXPECT_GT(tap.loudest, 0.05f) << "the session's tone";
    EXPECT_EQ(tap.untimed, 0) << "every chunk carries its capture time";
}

TEST(CaptureAudioInput, MissingOrFailingMicrophoneReachesTheEngine)
{
    {
        AudioEngine noSession;
        QString error;
        EXPECT_FALSE(noSession.start(&error));
        EXPECT_EQ(error, QStringLiteral("没有找到麦克风"));
    }
    {
        RunningSession pictureOnly(false);
        AudioEngine engine;
        QString error;
        EXPECT_FALSE(engine.start(&error));
        EXPECT_EQ(error, QStringLiteral("没有找到麦克风"));
    }
    // A microphone that stops delivering mid-way, as one pulled out does.
    RunningSession running(false);
    running.session.addInput(CaptureDeviceInput::make(
        CaptureDevice::fromLaunchDescription(QStringLiteral("Failing Mic"), QStringLiteral("test:failing-mic"),
            MediaType::audio, QStringLiteral("audiotestsrc is-live=true ! identity error-after=40"),
            QStringLiteral("audio/x-raw")),
        nullptr));
    AudioEngine engine;
    std::mutex mutex;
    QStringList reasons;
    engine.setInterruptionHandler([&](const QString &reason) {
        std::lock_guard lock(mutex);
        reasons << reason;
    });
    QString error;
    ASSERT_TRUE(engine.start(&error)) << error.toStdString();
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] {
            std::lock_guard lock(mutex);
            return !reasons.isEmpty();
        },
        15000));
    MainLoop::spin(200);
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(reasons.size(), 1);
        EXPECT_TRUE(reasons.first().contains(QStringLiteral("Failing Mic"))) << reasons.first().toStdString();
    }
    engine.stop();
    EXPECT_FALSE(engine.start(&error)) << "the failed microphone is not listened to again";
}
