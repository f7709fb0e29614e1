#include "CameraManagerTestSupport.h"
#include "MediaProbe.h"

#include "platform/desktop/AppPaths.h"
#include "platform/media/MovieFileOutput.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

using namespace CameraManagerTest;

namespace {

struct ReadyManager {
    LogCapture log;
    std::unique_ptr<CameraManager> manager;

    explicit ReadyManager(std::optional<CaptureDevice> microphone = TestDevices::microphone())
    {
        manager = std::make_unique<CameraManager>(
            TestDevices::provider(twoCameras(), std::move(microphone)), TestDevices::permissions());
        waitForSetup(log);
        waitForPreview(*manager);
    }
};

} // namespace

TEST(CameraManagerRecording, StartWritesATimeNamedFileIntoANewSaveFolderAndStopFinishesIt)
{
    QTemporaryDir dir;
    ReadyManager ready;
    CameraManager &manager = *ready.manager;
    const QString folder = dir.filePath(QStringLiteral("missing/recordings"));
    manager.setSaveFolder(folder);
    manager.configureResolution(VideoResolution::p720, VideoAspectRatio::ratio16x9);

    const QDateTime before = QDateTime::currentDateTime();
    manager.startRecording();
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_FALSE(manager.isRecording()) << "published once the output writes";
    ASSERT_TRUE(waitForRecording(manager));

    ASSERT_TRUE(manager.currentRecordingURL().has_value());
    const QFileInfo file(*manager.currentRecordingURL());
    EXPECT_EQ(file.absolutePath(), QDir(folder).absolutePath());
    EXPECT_TRUE(QDir(folder).exists()) << "the missing folder is created";
    const QRegularExpression pattern(QStringLiteral("^(\\d{8}_\\d{6})\\.mp4$"));
    const auto match = pattern.match(file.fileName());
    ASSERT_TRUE(match.hasMatch()) << file.fileName().toStdString();
    const QDateTime named = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd_HHmmss"));
    EXPECT_GE(named.toSecsSinceEpoch(), before.toSecsSinceEpoch());
    EXPECT_LE(named.toSecsSinceEpoch(), after.toSecsSinceEpoch());

    EXPECT_TRUE(ready.log.contains(QStringLiteral("🧹 移除旧的麦克风输入: Test Tone")));
    EXPECT_TRUE(ready.log.contains(QStringLiteral("✅ 已（重新）添加麦克风输入: Test Tone")));
    EXPECT_TRUE(ready.log.contains(QStringLiteral("✅ 录制前: 音频连接已启用 active=true")));
    EXPECT_EQ(ready.log.lines().last(), QStringLiteral("🎬 开始录制: ") + file.filePath());

    MainLoop::spin(1500);
    manager.stopRecording();
    MainLoop::drain();
    EXPECT_FALSE(manager.isRecording()) << "false at once";
    ASSERT_TRUE(waitForFinishedFile(manager));

    const MediaProbe probe = MediaProbe::read(file.filePath());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.videoCodec, QStringLiteral("video/x-h264"));
    EXPECT_EQ(probe.chromaFormat, QStringLiteral("4:2:0"));
    EXPECT_EQ(probe.audioCodec, QStringLiteral("audio/mpeg"));
    EXPECT_EQ(probe.width, 1280);
    EXPECT_NEAR(probe.firstVideoSeconds, 0.0, 1.0 / 30);
    EXPECT_EQ(outputOf(manager)->lastRecordingVideoFrames(), probe.decodedVideoFrames)
        << "the file holds every picture encoded";
    EXPECT_EQ(ready.log.count(QStringLiteral("🎬 开始录制: ") + file.filePath()), 1);
}

TEST(CameraManagerRecording, StartAndStopAreIgnoredInTheWrongState)
{
    QTemporaryDir dir;
    ReadyManager ready;
    CameraManager &manager = *ready.manager;
    manager.setSaveFolder(dir.path());
    const qsizetype quiet = ready.log.lines().size();
    manager.stopRecording();
    MainLoop::drain();
    EXPECT_EQ(ready.log.lines().size(), quiet);
    EXPECT_FALSE(manager.isRecording());

    manager.startRecording();
    const auto url = manager.currentRecordingURL();
    manager.startRecording(); // before the first one is under way
    ASSERT_TRUE(waitForRecording(manager));
    const qsizetype started = ready.log.lines().size();
    manager.startRecording();
    MainLoop::spin(200);
    EXPECT_EQ(ready.log.lines().size(), started) << "a second start logs nothing";
    EXPECT_EQ(ready.log.linesStartingWith(QStringLiteral("🎬 ")).size(), 1);
    EXPECT_EQ(manager.currentRecordingURL(), url);
    manager.stopRecording();
    MainLoop::drain();
    ASSERT_TRUE(waitForFinishedFile(manager));
}

TEST(CameraManagerRecording, NeverOverwritesARecordingOfTheSameSecond)
{
    QTemporaryDir dir;
    ReadyManager ready;
    CameraManager &manager = *ready.manager;
    manager.setSaveFolder(dir.path());
    // Occupy the names of this second and the next few.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList taken;
    for (int second = 0; second < 4; ++second) {
        const QString path = dir.filePath(now.addSecs(second).toString(QStringLiteral("yyyyMMdd_HHmmss")) + ".mp4");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier");
        taken.append(path);
    }
    manager.startRecording();
    const QString path = manager.currentRecordingURL().value_or(QString());
    EXPECT_FALSE(taken.contains(path));
    EXPECT_TRUE(path.endsWith(QStringLiteral("_2.mp4"))) << path.toStdString();
    ASSERT_TRUE(waitForRecording(manager));
    MainLoop::spin(500);
    manager.stopRecording();
    ASSERT_TRUE(waitForFinishedFile(manager));
    for (const QString &earlier : taken) {
        QFile file(earlier);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("earlier"));
    }
    EXPECT_TRUE(MediaProbe::read(path, false).readable);
}

TEST(CameraManagerRecording, WithoutMicrophoneTheRecordingStartsVideoOnly)
{
    QTemporaryDir dir;
    ReadyManager ready(std::nullopt);
    CameraManager &manager = *ready.manager;
    manager.setSaveFolder(dir.path());
    manager.startRecording();
    ASSERT_TRUE(waitForRecording(manager));
    EXPECT_TRUE(ready.log.contains(QStringLiteral("❌ 找不到默认麦克风设备")));
    EXPECT_TRUE(ready.log.contains(QStringLiteral("⚠️ 录制前: videoOutput 仍没有音频连接")));
    MainLoop::spin(600);
    manager.stopRecording();
    ASSERT_TRUE(waitForFinishedFile(manager));
    const MediaProbe probe = MediaProbe::read(*manager.currentRecordingURL(), false);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.videoCodec, QStringLiteral("video/x-h264"));
    EXPECT_TRUE(probe.audioCodec.isEmpty());
}

TEST(CameraManagerRecording, EveryMicrophoneInTheSessionIsTakenOutBeforeOneIsPutBack)
{
    QTemporaryDir dir;
    ReadyManager ready;
    CameraManager &manager = *ready.manager;
    manager.setSaveFolder(dir.path());
    auto second = CaptureDeviceInput::make(
        TestDevices::microphone(QStringLiteral("Second Mic"), QStringLiteral("m2")), nullptr);
    manager.captureSession()->addInput(second);

    manager.startRecording();
    ASSERT_TRUE(waitForRecording(manager));
    const QStringList removed = ready.log.linesStartingWith(QStringLiteral("🧹 "));
    EXPECT_EQ(removed,
        QStringList({QStringLiteral("🧹 移除旧的麦克风输入: Test Tone"),
            QStringLiteral("🧹 移除旧的麦克风输入: Second Mic")}));
    int microphones = 0;
    for (const auto &input : manager.captureSession()->inputs()) {
        microphones += input->device().hasMediaType(MediaType::audio) ? 1 : 0;
    }
    EXPECT_EQ(microphones, 1);
    manager.stopRecording();
    ASSERT_TRUE(waitForFinishedFile(manager));
}

TEST(CameraManagerSaveFolder, DefaultsToTheDesktopUntilAssignedAndStoresEveryAssignment)
{
    const QString key = QStringLiteral("VeltroscopeSaveFolder");
    {
        CameraManager manager(std::make_shared<StaticDeviceProvider>(), TestDevices::permissions());
        EXPECT_EQ(manager.saveFolder(), AppPaths::desktopDirectory());
        EXPECT_FALSE(QSettings().contains(key)) << "the default is not written";

        int changes = 0;
        QObject::connect(&manager, &CameraManager::saveFolderChanged, [&] { ++changes; });
        manager.setSaveFolder(QStringLiteral("/tmp/veltroscope-takes"));
        EXPECT_EQ(QSettings().value(key).toString(), QStringLiteral("/tmp/veltroscope-takes"));
        QSettings().remove(key);
        manager.setSaveFolder(QStringLiteral("/tmp/veltroscope-takes"));
        EXPECT_EQ(QSettings().value(key).toString(), QStringLiteral("/tmp/veltroscope-takes"))
            << "the same value is stored again";
        EXPECT_EQ(changes, 2);
    }
    CameraManager next(std::make_shared<StaticDeviceProvider>(), TestDevices::permissions());
    EXPECT_EQ(next.saveFolder(), QStringLiteral("/tmp/veltroscope-takes"));
}
