#include "CameraManagerTestSupport.h"
#include "MediaProbe.h"

#include "library/DatabaseManager.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

using namespace CameraManagerTest;

namespace {

struct Manager {
    LogCapture log;
    std::unique_ptr<CameraManager> manager;

    explicit Manager(QList<CaptureDevice> cameras)
    {
        manager
            = std::make_unique<CameraManager>(TestDevices::provider(std::move(cameras)), TestDevices::permissions());
        waitForSetup(log);
        waitForPreview(*manager);
    }
    CameraManager *operator->() const { return manager.get(); }
};

// The encoder's target: about 4 bits per pixel per second.
double expectedKbps(QSize size)
{
    return double(size.width()) * size.height() * 4 / 1000;
}

} // namespace

TEST(CameraManagerTake, EachResolutionFromTheHighPresetGetsItsSizeRateBitrateAndAStartTogether)
{
    struct Case {
        VideoResolution resolution;
        QSize size;
        VideoAspectRatio ratio; // the file's own, so no crop replaces it meanwhile
    };
    const QList<Case> cases = {{VideoResolution::p480, {640, 480}, VideoAspectRatio::ratio4x3},
        {VideoResolution::p720, {1280, 720}, VideoAspectRatio::ratio16x9},
        {VideoResolution::p1080, {1920, 1080}, VideoAspectRatio::ratio16x9},
        {VideoResolution::p2K, {1920, 1080}, VideoAspectRatio::ratio16x9}}; // a 1080p camera
    for (const Case &take : cases) {
        SCOPED_TRACE(take.resolution.rawValue().toStdString());
        QTemporaryDir dir;
        Manager manager({TestDevices::noiseCamera()});
        ASSERT_EQ(manager->captureSession()->sessionPreset(), SessionPreset::high);
        manager->setSaveFolder(dir.path());
        const QString path = recordTake(*manager.manager, take.resolution, take.ratio, 1500);
        ASSERT_FALSE(path.isEmpty());

        const MediaProbe probe = MediaProbe::read(path);
        EXPECT_EQ(QSize(probe.width, probe.height), take.size);
        EXPECT_NEAR(probe.framesPerSecond(), 30, 1.5);
        // From the new size, not from the one before the change (that would be
        // at least twice or at most half the rate). The key frame of a short
        // take weighs in, more so when a loaded machine drops pictures.
        EXPECT_GT(probe.videoKbps(), 0.6 * expectedKbps(take.size)) << probe.videoKbps();
        EXPECT_LT(probe.videoKbps(), 1.8 * expectedKbps(take.size)) << probe.videoKbps();
        EXPECT_NEAR(probe.firstVideoSeconds, 0, 1.0 / 30);
        EXPECT_NEAR(probe.firstAudioSeconds, probe.firstVideoSeconds, 0.1);
    }
}

TEST(CameraManagerTake, QuickCameraSwitchesLeaveTheLastOneAndATakeDuringOneRecordsFromIt)
{
    QTemporaryDir dir;
    const QList<CaptureDevice> cameras = {TestDevices::barsCamera(QStringLiteral("A"), QStringLiteral("a")),
        TestDevices::barsCamera(QStringLiteral("B"), QStringLiteral("b")),
        TestDevices::barsCamera(QStringLiteral("C"), QStringLiteral("c"))};
    Manager manager(cameras);
    manager->setSaveFolder(dir.path());
    const int setupsBefore = manager.log.count(QStringLiteral("🎤 已添加音频输入: Test Tone"));
    manager->selectDevice(cameras.at(1));
    manager->selectDevice(cameras.at(2));
    manager->startRecording();
    EXPECT_EQ(manager->selectedDevice()->uniqueID(), QStringLiteral("c"));
    ASSERT_TRUE(waitForRecording(*manager.manager)) << "a take asked for during a switch records";
    EXPECT_EQ(manager.log.count(QStringLiteral("🎤 已添加音频输入: Test Tone")), setupsBefore + 2)
        << "each switch ran, one after the other";
    QStringList cameraInputs;
    for (const auto &input : manager->captureSession()->inputs()) {
        if (input->device().hasMediaType(MediaType::video)) {
            cameraInputs << input->device().uniqueID();
        }
    }
    EXPECT_EQ(cameraInputs, QStringList{QStringLiteral("c")});
    EXPECT_TRUE(outputOf(*manager.manager)->isRecording());
    MainLoop::spin(500);
    manager->stopRecording();
    ASSERT_TRUE(waitForFinishedFile(*manager.manager));
    EXPECT_GT(MediaProbe::read(*manager->currentRecordingURL(), false).width, 0);

    // A switch to a camera that cannot start: the take says why and the
    // screen never shows a recording.
    bool everRecording = false;
    QObject::connect(manager.manager.get(), &CameraManager::isRecordingChanged,
        [&] { everRecording = everRecording || manager->isRecording(); });
    manager->selectDevice(TestDevices::broken(QStringLiteral("Dead"), MediaType::video));
    manager->startRecording();
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] { return !manager.log.linesStartingWith(QStringLiteral("❌ 无法开始录制: ")).isEmpty(); }, 15000));
    MainLoop::spin(200);
    EXPECT_FALSE(everRecording);
    EXPECT_FALSE(manager->isRecording());
    // The next start is not blocked by the failed one (it is ignored only
    // while the failed one is being wound up).
    EXPECT_TRUE(MainLoop::waitUntil(
        [&] {
            if (manager.log.linesStartingWith(QStringLiteral("❌ 无法开始录制: ")).size() >= 2) {
                return true;
            }
            manager->startRecording();
            return false;
        },
        15000));
}

TEST(CameraManagerTake, ATakeThatFailsMidwayEndsSaysWhyAndIsProcessed)
{
    QTemporaryDir dir;
    // A new size restarts the camera right before the take, so its pictures
    // are counted from the take's start.
    Manager manager({TestDevices::failingCamera(45)});
    manager->setSaveFolder(dir.path());
    manager->configureResolution(VideoResolution::p720, VideoAspectRatio::ratio16x9);
    manager->startRecording();
    ASSERT_TRUE(waitForRecording(*manager.manager));
    ASSERT_TRUE(waitForRecording(*manager.manager, false, 30000)) << "the take ends by itself";
    EXPECT_EQ(manager.log.linesStartingWith(QStringLiteral("❌ 录制意外结束: ")).size(), 1);
    const QString path = *manager->currentRecordingURL();
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] {
            const auto videos = DatabaseManager::shared().videos();
            return !videos.isEmpty() && videos.first().filePath == path;
        },
        60000))
        << "what was written goes to the library like any take";
    EXPECT_TRUE(manager.log.contains(QStringLiteral("✅ 录制完成: ") + path));
    EXPECT_GT(MediaProbe::read(path).decodedVideoFrames, 0);
}

TEST(CameraManagerTake, QuittingDuringATakeLeavesACompleteFileForTheNextStart)
{
    QTemporaryDir dir;
    QString path;
    qint64 encoded = 0;
    {
        Manager manager({TestDevices::barsCamera()});
        manager->setSaveFolder(dir.path());
        manager->startRecording();
        ASSERT_TRUE(waitForRecording(*manager.manager));
        path = *manager->currentRecordingURL();
        MainLoop::spin(1000);
        manager->finishForQuit();
        EXPECT_EQ(outputOf(*manager.manager)->finishedRecordings(), 1) << "the file is complete on return";
        encoded = outputOf(*manager.manager)->lastRecordingVideoFrames();
        EXPECT_FALSE(manager.log.contains(QStringLiteral("✅ 录制完成: ") + path)) << "processed at the next start";
    }
    const MediaProbe probe = MediaProbe::read(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_TRUE(probe.decodeError.isEmpty()) << probe.decodeError.toStdString();
    EXPECT_GT(encoded, 0);
    EXPECT_EQ(probe.decodedVideoFrames, encoded) << "nothing is cut off";
    EXPECT_GT(probe.durationSeconds, 0) << "the index knows the length";

    // Going away without the call ends the take the same way.
    Manager second({TestDevices::barsCamera()});
    second->setSaveFolder(dir.path());
    MainLoop::spin(1100); // a new file name
    second->startRecording();
    ASSERT_TRUE(waitForRecording(*second.manager));
    const QString secondPath = *second->currentRecordingURL();
    MainLoop::spin(800);
    second.manager.reset();
    const MediaProbe secondProbe = MediaProbe::read(secondPath);
    EXPECT_TRUE(secondProbe.decodeError.isEmpty()) << secondProbe.decodeError.toStdString();
    EXPECT_GT(secondProbe.decodedVideoFrames, 0);
    EXPECT_GT(secondProbe.durationSeconds, 0);
}
