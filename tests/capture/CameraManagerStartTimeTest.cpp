#include "CameraManagerTestSupport.h"
#include "platform/SteadyClock.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

using namespace CameraManagerTest;

TEST(CameraManagerStartTime, EachTakePublishesWhenItsFirstPictureWasWrittenAndClearsItAtTheStop)
{
    QTemporaryDir dir;
    LogCapture log;
    // Pictures that arrive late, as a webcam's do: the take starts with one of them.
    CameraManager manager(TestDevices::provider({TestDevices::lateCamera()}), TestDevices::permissions());
    ASSERT_TRUE(waitForSetup(log));
    ASSERT_TRUE(waitForPreview(manager));
    manager.setSaveFolder(dir.path());
    QSignalSpy changes(&manager, &CameraManager::recordingStartedAtChanged);

    double previousStop = 0;
    for (int take = 1; take <= 2; ++take) {
        SCOPED_TRACE(take);
        EXPECT_FALSE(manager.recordingStartedAt().has_value());
        const double asked = SteadyClock::now();
        manager.configureResolution(VideoResolution::p720, VideoAspectRatio::ratio16x9);
        manager.startRecording();
        ASSERT_TRUE(waitForRecording(manager));
        ASSERT_TRUE(MainLoop::waitUntil([&] { return manager.recordingStartedAt().has_value(); }, 10000));
        const double startedAt = *manager.recordingStartedAt();
        EXPECT_GE(startedAt, asked) << "not a stale time of an earlier take";
        EXPECT_GT(startedAt, previousStop);
        EXPECT_LE(startedAt, SteadyClock::now()) << "on the steady clock";
        MainLoop::spin(300);
        EXPECT_EQ(manager.recordingStartedAt(), startedAt) << "once per take, not per picture";

        manager.stopRecording();
        previousStop = SteadyClock::now();
        EXPECT_FALSE(manager.recordingStartedAt().has_value()) << "cleared at the stop";
        ASSERT_TRUE(waitForRecording(manager, false));
        ASSERT_TRUE(waitForFinishedFile(manager, take));
        MainLoop::drain();
        EXPECT_FALSE(manager.recordingStartedAt().has_value());
        EXPECT_EQ(changes.count(), 2 * take) << "one time and one clearing per take";
    }
}

TEST(CameraManagerStartTime, AStopBeforeTheFirstPictureLeavesNoTime)
{
    QTemporaryDir dir;
    LogCapture log;
    CameraManager manager(TestDevices::provider({TestDevices::lateCamera()}), TestDevices::permissions());
    ASSERT_TRUE(waitForSetup(log));
    manager.setSaveFolder(dir.path());
    // Both go to the worker before it runs either: the take ends while still starting.
    manager.startRecording();
    manager.stopRecording();
    ASSERT_TRUE(waitForFinishedFile(manager));
    MainLoop::spin(200);
    EXPECT_FALSE(manager.isRecording());
    EXPECT_FALSE(manager.recordingStartedAt().has_value());
}
