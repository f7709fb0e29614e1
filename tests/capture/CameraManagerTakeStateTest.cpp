#include "CameraManagerTestSupport.h"
#include "MediaProbe.h"

#include "library/DatabaseManager.h"
#include "platform/media/MediaAsset.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <mutex>

using namespace CameraManagerTest;

namespace {
constexpr int processingTimeoutMs = 60000;

// Holds the first finished report back until release(); later ones pass.
struct HeldReport {
    std::mutex mutex;
    std::function<void()> held;
    bool holdsNext = true;

    CameraManager::FinishedReportGate gate()
    {
        return [this](std::function<void()> deliver) {
            std::unique_lock lock(mutex);
            if (holdsNext) {
                holdsNext = false;
                held = std::move(deliver);
                return;
            }
            lock.unlock();
            deliver();
        };
    }
    bool isHolding()
    {
        std::lock_guard lock(mutex);
        return bool(held);
    }
    void release()
    {
        std::function<void()> deliver;
        {
            std::lock_guard lock(mutex);
            deliver = std::exchange(held, nullptr);
        }
        std::thread(deliver).join(); // from a thread of its own, as the capture layer
    }
};

bool waitForRowOf(const QString &path)
{
    return MainLoop::waitUntil(
        [&] {
            const QList<VideoRecord> videos = DatabaseManager::shared().videos();
            return std::any_of(
                videos.begin(), videos.end(), [&](const VideoRecord &video) { return video.filePath == path; });
        },
        processingTimeoutMs);
}

QSizeF videoSize(const QString &path)
{
    const QList<MediaTrack> video = MediaAsset(path).tracks(MediaType::video);
    return video.isEmpty() ? QSizeF() : video.first().naturalSize;
}

struct Manager {
    LogCapture log;
    std::shared_ptr<StaticDeviceProvider> devices;
    std::unique_ptr<CameraManager> manager;
    QTemporaryDir folder;

    explicit Manager(QList<CaptureDevice> cameras, std::optional<CaptureDevice> mic = TestDevices::microphone())
        : devices(TestDevices::provider(std::move(cameras), std::move(mic)))
    {
        manager = std::make_unique<CameraManager>(devices, TestDevices::permissions());
        manager->setSaveFolder(folder.path());
    }
    CameraManager *operator->() const { return manager.get(); }
    bool ready() { return waitForSetup(log) && waitForPreview(*manager); }
};
} // namespace

TEST(TakeState, EachTakeIsCroppedToTheRatioItWasStartedWithThoughTheNextStartedFirst)
{
    Manager manager({TestDevices::barsCamera()});
    ASSERT_TRUE(manager.ready());
    HeldReport report;
    manager->setFinishedReportGate(report.gate());

    // Take A at 16:9; its report is held back while B starts at 9:16.
    const QString a = recordTake(*manager.manager, VideoResolution::p720, VideoAspectRatio::ratio16x9, 1000);
    ASSERT_FALSE(a.isEmpty());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return report.isHolding(); }, 10000));
    const QString b = recordTake(*manager.manager, VideoResolution::p720, VideoAspectRatio::ratio9x16, 1000);
    ASSERT_FALSE(b.isEmpty());
    ASSERT_NE(a, b);
    ASSERT_TRUE(waitForRowOf(b));
    EXPECT_EQ(manager->pendingAspectRatio(), VideoAspectRatio::ratio9x16);

    report.release();
    ASSERT_TRUE(waitForRowOf(a));
    EXPECT_EQ(videoSize(a), QSizeF(1280, 720)) << "A keeps the framing it was started with";
    EXPECT_NEAR(videoSize(b).width(), 405, 1) << "9:16 of 720, as the encoder rounds it";
    EXPECT_EQ(videoSize(b).height(), 720);
    EXPECT_EQ(manager.log.count(QStringLiteral("✂️ 已按比例 0.5625 裁剪视频")), 1);
}

TEST(TakeState, AStartingTakeIsPublishedAndAStopDuringItEndsItWithOneFileAtMost)
{
    Manager manager({TestDevices::barsCamera()});
    ASSERT_TRUE(manager.ready());
    QSignalSpy starting(manager.manager.get(), &CameraManager::isStartingRecordingChanged);
    QSignalSpy recording(manager.manager.get(), &CameraManager::isRecordingChanged);

    manager->configureResolution(VideoResolution::p720, VideoAspectRatio::ratio1x1);
    manager->startRecording();
    EXPECT_TRUE(manager->isStartingRecording());
    EXPECT_TRUE(manager->isTakeUnderWay());
    EXPECT_EQ(manager->takeAspectRatio(), VideoAspectRatio::ratio1x1);
    EXPECT_EQ(starting.size(), 1);
    manager->startRecording(); // a second start while starting is not a second take
    manager->stopRecording();
    EXPECT_FALSE(manager->isStartingRecording());
    EXPECT_FALSE(manager->isTakeUnderWay());
    EXPECT_FALSE(manager->takeAspectRatio().has_value());

    // The start's late report must not bring the take back.
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] {
            return manager.log.contains(QStringLiteral("❌ 录制文件不存在: ") + *manager->currentRecordingURL())
                || waitForFinishedFile(*manager.manager, 1, 0);
        },
        20000));
    MainLoop::drain();
    EXPECT_FALSE(manager->isRecording());
    EXPECT_FALSE(manager->isStartingRecording());
    EXPECT_EQ(starting.size(), 2);
    EXPECT_EQ(recording.size(), 0) << "never shown as recording";
    EXPECT_LE(QDir(manager.folder.path()).entryList({"*.mp4"}, QDir::Files).size(), 1);
    EXPECT_LE(manager.log.linesStartingWith(QStringLiteral("🎬 开始录制: ")).size(), 1);
    EXPECT_TRUE(manager->lastTakeFailure().isEmpty()) << "the user stopped it";
    manager->waitForPostProcessing(processingTimeoutMs);
}

TEST(TakeState, CamerasThatComeAndGoAreFollowedAndAnUnpluggedOneEndsItsTake)
{
    Manager manager({});
    MainLoop::drain();
    EXPECT_FALSE(manager->selectedDevice().has_value());
    EXPECT_TRUE(manager->availableDevices().isEmpty());

    // Plugged in later: listed and chosen, since none was.
    const CaptureDevice first = TestDevices::barsCamera(QStringLiteral("Later"), QStringLiteral("test:later"));
    const CaptureDevice second = TestDevices::camera(QStringLiteral("Spare"), QStringLiteral("test:spare"));
    manager.devices->setVideoDevices({first});
    ASSERT_TRUE(MainLoop::waitUntil([&] { return manager->selectedDevice().has_value(); }, 5000));
    EXPECT_EQ(manager->selectedDevice()->uniqueID(), "test:later");
    ASSERT_TRUE(manager.ready());

    // A second one joins the list and leaves the choice alone.
    manager.devices->setVideoDevices({first, second});
    ASSERT_TRUE(MainLoop::waitUntil([&] { return manager->availableDevices().size() == 2; }, 5000));
    EXPECT_EQ(manager->selectedDevice()->uniqueID(), "test:later");

    manager->configureResolution(VideoResolution::p720, VideoAspectRatio::ratio16x9);
    manager->startRecording();
    ASSERT_TRUE(waitForRecording(*manager.manager));
    MainLoop::spin(1000);
    const QString path = *manager->currentRecordingURL();

    // The camera in use goes mid-take: the take ends with what it has.
    manager.devices->setVideoDevices({second});
    ASSERT_TRUE(waitForRecording(*manager.manager, false, 5000));
    EXPECT_TRUE(manager.log.contains(QStringLiteral("⚠️ 摄像头已断开: Later")));
    EXPECT_FALSE(manager->lastTakeFailure().isEmpty());
    EXPECT_EQ(manager->selectedDevice()->uniqueID(), "test:spare");
    ASSERT_TRUE(waitForRowOf(path));
    EXPECT_GT(MediaProbe::read(path, false).durationSeconds, 0.5);

    // The last one goes: nothing is chosen.
    manager.devices->setVideoDevices({});
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !manager->selectedDevice().has_value(); }, 5000));

    // The failure stays until the next take starts.
    manager.devices->setVideoDevices({first});
    ASSERT_TRUE(MainLoop::waitUntil([&] { return manager->selectedDevice().has_value(); }, 5000));
    EXPECT_FALSE(manager->lastTakeFailure().isEmpty());
    manager->startRecording();
    EXPECT_TRUE(manager->lastTakeFailure().isEmpty());
    manager->stopRecording();
    manager->waitForPostProcessing(processingTimeoutMs);
}

TEST(TakeState, WithoutAMicrophoneATakeRecordsPictureOnly)
{
    Manager manager({TestDevices::barsCamera()}, std::nullopt);
    ASSERT_TRUE(waitForSetup(manager.log));
    EXPECT_FALSE(manager->hasMicrophone());
    const QString path = recordTake(*manager.manager, VideoResolution::p720, VideoAspectRatio::ratio16x9, 1000);
    ASSERT_FALSE(path.isEmpty());
    ASSERT_TRUE(waitForRowOf(path));
    EXPECT_EQ(MediaAsset(path).tracks(MediaType::video).size(), 1);
    EXPECT_TRUE(MediaAsset(path).tracks(MediaType::audio).isEmpty());

    // A microphone plugged in later is noticed.
    manager.devices->setDefaultAudioDevice(TestDevices::microphone());
    EXPECT_TRUE(MainLoop::waitUntil([&] { return manager->hasMicrophone(); }, 5000));
}

TEST(TakeState, TakesStartedRightAfterTheLastStopEachKeepTheirOwnRatio)
{
    Manager manager({TestDevices::barsCamera()});
    ASSERT_TRUE(manager.ready());
    QStringList paths;
    for (const VideoAspectRatio ratio :
        {VideoAspectRatio::ratio1x1, VideoAspectRatio::ratio9x16, VideoAspectRatio::ratio16x9}) {
        // The next start comes as soon as the screen may make it: the last
        // take's file is still being finished.
        ASSERT_TRUE(waitForRecording(*manager.manager, false));
        manager->configureResolution(VideoResolution::p720, ratio);
        manager->startRecording();
        ASSERT_TRUE(waitForRecording(*manager.manager));
        paths << manager->currentRecordingURL().value_or(QString());
        MainLoop::spin(700);
        manager->stopRecording();
    }
    for (const QString &path : paths) {
        ASSERT_TRUE(waitForRowOf(path)) << path.toStdString();
    }
    EXPECT_EQ(videoSize(paths[0]), QSizeF(720, 720));
    EXPECT_EQ(videoSize(paths[1]), QSizeF(404, 720));
    EXPECT_EQ(videoSize(paths[2]), QSizeF(1280, 720));
    EXPECT_EQ(manager.log.count(QStringLiteral("✂️ 已按比例 1.0 裁剪视频")), 1);
    EXPECT_EQ(manager.log.count(QStringLiteral("✂️ 已按比例 0.5625 裁剪视频")), 1);
    EXPECT_TRUE(manager.log.linesStartingWith(QStringLiteral("✂️ 已按比例 1.777")).isEmpty());
}
