#include "CameraManagerTestSupport.h"

#include "platform/media/MovieFileOutput.h"

#include <gtest/gtest.h>

using namespace CameraManagerTest;

TEST(CameraManagerStartup, BothPermissionsAreAnsweredBeforeDiscoveryAndTheFirstCameraIsSelected)
{
    LogCapture log;
    CameraManager manager(TestDevices::provider(twoCameras()), TestDevices::permissions(true, true));
    bool flagsSetAtDiscovery = false;
    QObject::connect(&manager, &CameraManager::availableDevicesChanged,
        [&] { flagsSetAtDiscovery = manager.hasCameraPermission() && manager.hasMicPermission(); });
    EXPECT_FALSE(manager.hasCameraPermission());
    EXPECT_TRUE(manager.availableDevices().isEmpty());

    ASSERT_TRUE(waitForSetup(log));
    EXPECT_TRUE(flagsSetAtDiscovery);
    const QStringList lines = log.lines();
    const qsizetype discovery = lines.indexOf(QStringLiteral("📷 发现 2 个摄像头设备"));
    ASSERT_GE(discovery, 0);
    EXPECT_GE(discovery, 2);
    EXPECT_LT(lines.indexOf(QStringLiteral("📹 摄像头权限: true")), discovery);
    EXPECT_LT(lines.indexOf(QStringLiteral("🎤 麦克风权限: true")), discovery);
    EXPECT_EQ(lines.value(discovery + 1), QStringLiteral("  - Front Pattern"));
    EXPECT_EQ(lines.value(discovery + 2), QStringLiteral("  - Side Pattern"));

    ASSERT_EQ(manager.availableDevices().size(), 2);
    ASSERT_TRUE(manager.selectedDevice().has_value());
    EXPECT_EQ(manager.selectedDevice()->uniqueID(), QStringLiteral("test:front"));
    EXPECT_TRUE(log.contains(QStringLiteral("🎤 已添加音频输入: Test Tone")));
    EXPECT_TRUE(manager.captureSession()->isRunning());
    EXPECT_EQ(manager.captureSession()->inputs().size(), 2);
    EXPECT_EQ(manager.captureSession()->outputs().size(), 1);
    EXPECT_TRUE(waitForPreview(manager));
}

TEST(CameraManagerStartup, NoCameraMeansNothingIsConfigured)
{
    LogCapture log;
    CameraManager manager(std::make_shared<StaticDeviceProvider>(), TestDevices::permissions());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return log.contains(QStringLiteral("📷 发现 0 个摄像头设备")); }));
    MainLoop::spin(300);
    EXPECT_FALSE(manager.selectedDevice().has_value());
    EXPECT_FALSE(manager.captureSession()->isRunning());
    EXPECT_TRUE(manager.captureSession()->inputs().isEmpty());
    EXPECT_TRUE(manager.captureSession()->outputs().isEmpty());
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("  - ")).isEmpty());
}

TEST(CameraManagerStartup, RefusedCameraStillDiscoversAndSetsUp)
{
    LogCapture log;
    CameraManager manager(TestDevices::provider(twoCameras()), TestDevices::permissions(false, true));
    ASSERT_TRUE(waitForSetup(log));
    EXPECT_FALSE(manager.hasCameraPermission());
    EXPECT_TRUE(manager.hasMicPermission());
    EXPECT_TRUE(log.contains(QStringLiteral("📹 摄像头权限: false")));
    EXPECT_TRUE(log.contains(QStringLiteral("📷 发现 2 个摄像头设备")));
    EXPECT_TRUE(manager.captureSession()->isRunning());
}

TEST(CameraManagerStartup, MissingOrBrokenDevicesAreLoggedAndTheRestRuns)
{
    {
        LogCapture log;
        CameraManager manager(TestDevices::provider(twoCameras(), std::nullopt), TestDevices::permissions());
        ASSERT_TRUE(waitForSetup(log));
        EXPECT_TRUE(log.contains(QStringLiteral("⚠️ 找不到默认音频设备")));
        EXPECT_TRUE(log.contains(QStringLiteral("⚠️ videoOutput 没有音频连接")));
        EXPECT_TRUE(waitForPreview(manager));
    }
    {
        LogCapture log;
        CameraManager manager(TestDevices::provider({TestDevices::broken(QStringLiteral("Dead Cam"), MediaType::video)},
                                  TestDevices::broken(QStringLiteral("Dead Mic"), MediaType::audio)),
            TestDevices::permissions());
        ASSERT_TRUE(waitForSetup(log));
        EXPECT_EQ(log.linesStartingWith(QStringLiteral("❌ 无法添加视频输入: ")).size(), 1);
        EXPECT_EQ(log.linesStartingWith(QStringLiteral("❌ 无法添加音频输入: ")).size(), 1);
        EXPECT_TRUE(manager.captureSession()->inputs().isEmpty());
        EXPECT_TRUE(manager.captureSession()->isRunning());
    }
}

TEST(CameraManagerStartup, SelectingACameraRebuildsTheSessionWithIt)
{
    LogCapture log;
    CameraManager manager(TestDevices::provider(twoCameras()), TestDevices::permissions());
    ASSERT_TRUE(waitForSetup(log));
    const auto firstInputs = manager.captureSession()->inputs();

    manager.configureResolution(VideoResolution::p480, VideoAspectRatio::ratio4x3);
    EXPECT_EQ(manager.pendingAspectRatio(), VideoAspectRatio::ratio4x3) << "the ratio is taken at once";
    EXPECT_TRUE(waitForPreset(manager, SessionPreset::p640x480));

    int selectedSignals = 0;
    QObject::connect(&manager, &CameraManager::selectedDeviceChanged, [&] { ++selectedSignals; });
    manager.selectDevice(manager.availableDevices().at(1));
    EXPECT_EQ(selectedSignals, 1);
    EXPECT_EQ(manager.selectedDevice()->uniqueID(), QStringLiteral("test:side"));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return log.count(QStringLiteral("🎤 已添加音频输入: Test Tone")) == 2; }));
    ASSERT_TRUE(waitForSetup(log));
    EXPECT_TRUE(waitForPreset(manager, SessionPreset::high)) << "a camera switch resets the preset";

    const auto inputs = manager.captureSession()->inputs();
    ASSERT_EQ(inputs.size(), 2);
    EXPECT_EQ(inputs.first()->device().uniqueID(), QStringLiteral("test:side"));
    EXPECT_FALSE(firstInputs.contains(inputs.first())) << "inputs are made anew";
    EXPECT_TRUE(waitForPreview(manager));
}

TEST(CameraManagerStartup, FourKFallsBackSilentlyOnACameraWithout2160p)
{
    LogCapture log;
    CameraManager manager(TestDevices::provider(twoCameras()), TestDevices::permissions());
    ASSERT_TRUE(waitForSetup(log));
    const qsizetype linesBefore = log.lines().size();
    manager.configureResolution(VideoResolution::p2K, VideoAspectRatio::ratio1x1);
    EXPECT_TRUE(waitForPreset(manager, SessionPreset::p1920x1080));
    EXPECT_EQ(manager.pendingAspectRatio(), VideoAspectRatio::ratio1x1);
    EXPECT_EQ(log.lines().size(), linesBefore) << "the fallback is silent";

    LogCapture log4k;
    CameraManager uhd(
        TestDevices::provider({TestDevices::camera(QStringLiteral("UHD"), QStringLiteral("uhd"), 3840, 2160)}),
        TestDevices::permissions());
    ASSERT_TRUE(waitForSetup(log4k));
    uhd.configureResolution(VideoResolution::p2K, VideoAspectRatio::ratio16x9);
    EXPECT_TRUE(waitForPreset(uhd, SessionPreset::p3840x2160));
}

TEST(CameraManagerStartup, TheManagerGoingAwayStopsDeferredWork)
{
    LogCapture log;
    {
        CameraManager manager(TestDevices::provider(twoCameras()), TestDevices::permissions());
    }
    MainLoop::spin(300);
    // The permission answers still log; discovery never runs for a dead manager.
    EXPECT_FALSE(log.linesStartingWith(QStringLiteral("📹 摄像头权限: ")).isEmpty());
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("📷 发现 ")).isEmpty());
}
