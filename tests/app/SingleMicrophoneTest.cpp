// The listener and the take hear one capture of the microphone, in the private
// PipeWire session (tests/with-virtual-devices.sh): the sound server sees one
// recording stream of this process, the same one from before a voice-started
// take until after it, while the listener pauses, resumes and keeps listening.
#include "capture/CameraManager.h"
#include "platform/media/FixedCapturePermissions.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/VoiceCommandWiring.h"
#include "voice/SpeechRecognitionManager.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {
bool insideVirtualDevices()
{
    return qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR") && qEnvironmentVariableIsSet("PULSE_SERVER");
}

// The sound server's recording streams that belong to this process, by node id.
QList<int> microphoneStreamsOfThisProcess()
{
    QProcess dump;
    dump.start(QStringLiteral("pw-dump"), {});
    if (!dump.waitForFinished(10000)) {
        return {};
    }
    const QString self = QString::number(QCoreApplication::applicationPid());
    QList<int> streams;
    for (const QJsonValue &object : QJsonDocument::fromJson(dump.readAllStandardOutput()).array()) {
        if (object[QStringLiteral("type")].toString() != QStringLiteral("PipeWire:Interface:Node")) {
            continue;
        }
        const QJsonObject props = object[QStringLiteral("info")][QStringLiteral("props")].toObject();
        if (props[QStringLiteral("media.class")].toString() == QStringLiteral("Stream/Input/Audio")
            && props[QStringLiteral("application.process.id")].toVariant().toString() == self) {
            streams << object[QStringLiteral("id")].toInt();
        }
    }
    return streams;
}
} // namespace

TEST(SingleMicrophone, ListenerAndVoiceStartedTakeShareOneCapture)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    QTemporaryDir folder;
    LogCapture log;
    CameraManager manager;
    manager.setSaveFolder(folder.filePath(QStringLiteral("takes")));
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] { return !log.linesStartingWith(QStringLiteral("✅ 音频连接已启用 active=")).isEmpty(); }, 20000));
    SpeechRecognitionManager listener;
    RecordingViewState state;
    VoiceCommandWiring wiring(&manager, &listener, &state, std::make_shared<FixedCapturePermissions>(true, true));
    listener.startListening();
    ASSERT_TRUE(listener.isListening());

    QList<int> streams;
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] {
            streams = microphoneStreamsOfThisProcess();
            return !streams.isEmpty();
        },
        10000));
    MainLoop::spin(300);
    streams = microphoneStreamsOfThisProcess();
    EXPECT_EQ(streams.size(), 1) << "the listener opens no microphone of its own";

    // The start as a spoken start runs it: pause, take, resume.
    wiring.startCommandAction()();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return manager.isRecording(); }, 20000));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return log.contains(QStringLiteral("▶️ 恢复语音监听")); }, 10000));
    EXPECT_EQ(log.count(QStringLiteral("⏸️ 暂停语音监听以让出麦克风给录制")), 1);
    EXPECT_TRUE(listener.isListening());
    EXPECT_EQ(microphoneStreamsOfThisProcess(), streams) << "the same capture, not reopened for the take";

    manager.stopRecording();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !manager.isTakeUnderWay(); }, 10000));
    ASSERT_TRUE(manager.waitForPostProcessing(60000));
    MainLoop::spin(300);
    EXPECT_EQ(microphoneStreamsOfThisProcess(), streams) << "nor after it";
    EXPECT_TRUE(listener.isListening());
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("❌")).isEmpty()) << log.lines().join(u'\n').toStdString();
}
