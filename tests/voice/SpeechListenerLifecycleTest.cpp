// The listener's life on the real engine, with generated speech played as the
// microphone.
#include "voice/SpeechRecognitionManager.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"
#include "voice/VoiceClips.h"

#include "../platform/media/CaptureSessionTestSupport.h"
#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/StaticDeviceProvider.h"
#include "platform/speech/AudioEngine.h"
#include "platform/speech/MicrophoneInput.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFileInput.h"

#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

namespace {
const QString listeningLine = QStringLiteral("👂 开始语音监听");

std::unique_ptr<SpeechRecognitionManager> listenerOn(const QString &wavPath, double speed = 2.0)
{
    return std::make_unique<SpeechRecognitionManager>(SpeechRecognizer::create(QStringLiteral("zh-CN")),
        std::make_unique<AudioEngine>(std::make_unique<WavFileInput>(wavPath, speed)), nullptr);
}
} // namespace

TEST(SpeechListenerLifecycle, NoUsableRecognizerLeavesTheListenerIdle)
{
    LogCapture log;
    SpeechRecognitionManager noRecognizer(
        nullptr, std::make_unique<AudioEngine>(std::make_unique<WavFileInput>(QString())), nullptr);
    noRecognizer.startListening();
    SpeechRecognitionManager noEngine(std::make_shared<SpeechRecognizer>(nullptr),
        std::make_unique<AudioEngine>(std::make_unique<WavFileInput>(QString())), nullptr);
    noEngine.startListening();
    EXPECT_EQ(log.count(QStringLiteral("⚠️ 中文语音识别不可用")), 2);
    EXPECT_FALSE(noRecognizer.isListening());
    EXPECT_FALSE(noEngine.isListening());
    EXPECT_EQ(SpeechRecognizer::create(QStringLiteral("en-US")), nullptr);
}

TEST(SpeechListenerLifecycle, AudioEngineFailureIsLoggedAndNothingListens)
{
    LogCapture log;
    auto listener = listenerOn(QStringLiteral("/nonexistent/voice.wav"));
    listener->startListening();
    const QStringList lines = log.linesStartingWith(QStringLiteral("❌ 音频引擎启动失败: "));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().contains(QStringLiteral("/nonexistent/voice.wav")));
    EXPECT_FALSE(listener->isListening());
    EXPECT_EQ(log.count(listeningLine), 0);
}

TEST(SpeechListenerLifecycle, MicrophoneFailingAfterTheStartEndsIdleWithItsReason)
{
    // The microphone is found and starts, then fails on its own thread.
    auto provider = std::make_shared<StaticDeviceProvider>(QList<CaptureDevice>{},
        CaptureDevice::fromLaunchDescription(QStringLiteral("Broken Microphone"), QStringLiteral("test:broken"),
            MediaType::audio, QStringLiteral("filesrc location=/nonexistent/microphone ! wavparse"),
            QStringLiteral("audio/x-raw")));
    LogCapture log;
    SpeechRecognitionManager listener(SpeechRecognizer::create(QStringLiteral("zh-CN")),
        std::make_unique<AudioEngine>(std::make_unique<MicrophoneInput>(provider)), nullptr);
    listener.startListening();
    EXPECT_EQ(log.count(listeningLine), 1);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !listener.isListening(); }, 15000));
    const QStringList errors = log.linesStartingWith(QStringLiteral("⚠️ 语音识别错误: "));
    const QStringList failures = log.linesStartingWith(QStringLiteral("❌ 音频引擎启动失败: "));
    ASSERT_EQ(errors.size(), 1) << log.lines().join(u'\n').toStdString();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(errors.first().section(QStringLiteral(": "), 1), failures.first().section(QStringLiteral(": "), 1));
    // It stays idle rather than trying the broken device again and again.
    MainLoop::spin(1000);
    EXPECT_EQ(log.count(listeningLine), 1);
    EXPECT_FALSE(listener.isListening());
}

TEST(SpeechListenerLifecycle, StartTwiceListensOnceAndStopGoesIdleQuietly)
{
    LogCapture log;
    auto listener = listenerOn(VoiceClips::realSpeech(QStringLiteral("5.wav")));
    QSignalSpy changes(listener.get(), &SpeechRecognitionManager::isListeningChanged);
    listener->startListening();
    listener->startListening();
    EXPECT_TRUE(listener->isListening());
    EXPECT_EQ(log.count(listeningLine), 1);
    EXPECT_EQ(changes.count(), 1);
    const int linesBefore = int(log.lines().size());
    listener->stopListening();
    EXPECT_FALSE(listener->isListening());
    EXPECT_EQ(log.lines().size(), linesBefore);
}

TEST(SpeechListenerLifecycle, PauseAndResume)
{
    LogCapture log;
    auto neverStarted = listenerOn(VoiceClips::realSpeech(QStringLiteral("5.wav")));
    neverStarted->resumeAfterRecording();
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(neverStarted->isListening());

    auto listener = listenerOn(VoiceClips::realSpeech(QStringLiteral("5.wav")));
    listener->startListening();
    listener->pauseForRecording();
    EXPECT_TRUE(log.contains(QStringLiteral("⏸️ 暂停语音监听以让出麦克风给录制")));
    EXPECT_TRUE(listener->isListening());
    // The paused task's end of audio must not bring the listener back by itself.
    MainLoop::spin(600);
    EXPECT_EQ(log.count(listeningLine), 1);
    listener->startListening();
    EXPECT_EQ(log.count(listeningLine), 1);

    listener->resumeAfterRecording();
    EXPECT_TRUE(log.contains(QStringLiteral("▶️ 恢复语音监听")));
    EXPECT_EQ(log.count(listeningLine), 2);
    EXPECT_TRUE(listener->isListening());
}

TEST(SpeechListenerLifecycle, AuthorizationAnswersOnTheMainThread)
{
    auto listener = listenerOn(VoiceClips::realSpeech(QStringLiteral("5.wav")));
    std::optional<bool> granted;
    Qt::HANDLE answeredOn = nullptr;
    listener->requestAuthorization([&](bool value) {
        granted = value;
        answeredOn = QThread::currentThreadId();
    });
    ASSERT_TRUE(MainLoop::waitUntil([&] { return granted.has_value(); }));
    EXPECT_TRUE(*granted);
    EXPECT_EQ(answeredOn, QCoreApplication::instance()->thread()->currentThreadId());
    EXPECT_EQ(listener->authorizationStatus(), Speech::AuthorizationStatus::Authorized);
}

TEST(SpeechListenerLifecycle, HearsStopThenRestartsByItselfAndHearsStart)
{
    LogCapture log;
    auto listener = listenerOn(VoiceClips::stopThenStart());
    QStringList commands;
    listener->setOnStartCommand([&] { commands << QStringLiteral("start"); });
    listener->setOnStopCommand([&] { commands << QStringLiteral("stop"); });
    listener->startListening();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return commands.size() >= 2; }, 15000))
        << log.lines().join(u'\n').toStdString();
    EXPECT_EQ(commands, (QStringList{QStringLiteral("stop"), QStringLiteral("start")}));
    EXPECT_GE(log.count(listeningLine), 2);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🎙️ 语音命令触发: 停止录制")).size(), 1);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🎙️ 语音命令触发: 开始录制")).size(), 1);
    EXPECT_EQ(listener->lastHeardCommand(), QStringLiteral("✅ 识别到: 开始录制"));
    EXPECT_TRUE(listener->isListening());
}

TEST(SpeechListenerLifecycle, HearsAQuietMicrophone)
{
    // A start phrase twenty decibels down, as from a distant microphone.
    LogCapture log;
    auto listener = listenerOn(VoiceClips::command(QStringLiteral("开始录制"), QStringLiteral("quiet")));
    bool started = false;
    listener->setOnStartCommand([&] { started = true; });
    listener->setOnStopCommand([&] { ADD_FAILURE() << "heard as stop"; });
    listener->startListening();
    EXPECT_TRUE(MainLoop::waitUntil([&] { return started; }, 15000)) << log.lines().join(u'\n').toStdString();
}

TEST(SpeechListenerLifecycle, ACommandSaidOnceActsOnceThoughTheMainThreadIsBusyAfterIt)
{
    // Stopping a take holds the main thread for a while; the recognizer's
    // later results of the same phrase wait for it and come past the cooldown.
    LogCapture log;
    auto listener = listenerOn(VoiceClips::command(QStringLiteral("结束录制")), 1.0);
    int stops = 0;
    listener->setOnStopCommand([&] {
        ++stops;
        QThread::msleep(1500);
    });
    listener->setOnStartCommand([&] { ADD_FAILURE() << "heard as start"; });
    listener->startListening();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return stops > 0; }, 15000)) << log.lines().join(u'\n').toStdString();
    MainLoop::spin(2500);
    EXPECT_EQ(stops, 1) << log.lines().join(u'\n').toStdString();
}

TEST(SpeechListenerLifecycle, HearsTheCaptureSessionAndGoesIdleWithoutItsMicrophone)
{
    LogCapture log;
    {
        // No capture session at all: as for a machine without a microphone.
        SpeechRecognitionManager alone;
        alone.startListening();
        EXPECT_FALSE(alone.isListening());
        EXPECT_TRUE(log.contains(QStringLiteral("❌ 音频引擎启动失败: 没有找到麦克风")));
    }
    RunningSession running;
    SpeechRecognitionManager listener;
    listener.startListening();
    ASSERT_TRUE(listener.isListening());
    // Around a take: only the listener pauses and resumes, the microphone runs on.
    listener.pauseForRecording();
    listener.resumeAfterRecording();
    EXPECT_TRUE(listener.isListening());
    EXPECT_TRUE(running.session.engine()->isAudioFlowing());
    EXPECT_EQ(log.count(listeningLine), 2);

    // The session loses its microphone: recognition fails, and the restart finds none.
    for (const auto &input : running.session.inputs()) {
        if (input->device().hasMediaType(MediaType::audio)) {
            running.session.removeInput(input);
        }
    }
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !listener.isListening(); }, 10000));
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ 语音识别错误: ")).size(), 1);
    EXPECT_EQ(log.count(QStringLiteral("❌ 音频引擎启动失败: 没有找到麦克风")), 2);
}
