#include "CameraManagerTestSupport.h"
#include "MediaProbe.h"

#include "platform/media/MovieFileOutput.h"
#include "platform/media/SystemDeviceProvider.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace CameraManagerTest;

// Real discovery against the private PipeWire session that
// tests/with-virtual-devices.sh starts (a test-pattern camera and a
// microphone fed by a null sink).
namespace {
bool insideVirtualDevices()
{
    return qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR") && qEnvironmentVariableIsSet("PULSE_SERVER");
}
const QString cameraName = QStringLiteral("Veltroscope Test Camera");
} // namespace

TEST(VirtualDevices, DiscoveryFindsTheCameraAndTheDefaultMicrophone)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    SystemDeviceProvider provider;
    const QList<CaptureDevice> cameras = provider.videoDevices();
    QStringList names;
    for (const CaptureDevice &camera : cameras) {
        names.append(camera.localizedName());
        EXPECT_TRUE(camera.hasMediaType(MediaType::video));
        EXPECT_FALSE(camera.uniqueID().isEmpty());
    }
    EXPECT_TRUE(names.contains(cameraName)) << names.join(QStringLiteral(", ")).toStdString();
    EXPECT_EQ(provider.videoDevices().size(), cameras.size()) << "a stable list";

    const auto microphone = provider.defaultAudioDevice();
    ASSERT_TRUE(microphone.has_value());
    EXPECT_TRUE(microphone->localizedName().contains(QStringLiteral("Veltroscope-Test-Microphone")))
        << microphone->localizedName().toStdString();
}

TEST(VirtualDevices, ThePlainManagerRecordsFromTheRealDevices)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    QTemporaryDir dir;
    LogCapture log;
    CameraManager manager;
    ASSERT_TRUE(waitForSetup(log, 15000));
    EXPECT_TRUE(manager.hasCameraPermission());
    EXPECT_TRUE(manager.hasMicPermission());
    const QList<CaptureDevice> devices = manager.availableDevices();
    const auto camera = std::find_if(devices.begin(), devices.end(),
        [](const CaptureDevice &device) { return device.localizedName() == cameraName; });
    ASSERT_NE(camera, devices.end());
    if (!(manager.selectedDevice() == *camera)) {
        manager.selectDevice(*camera);
        MainLoop::spin(500);
        ASSERT_TRUE(waitForSetup(log, 15000));
    }
    EXPECT_TRUE(waitForPreview(manager, 5, 15000));
    EXPECT_FALSE(log.linesStartingWith(QStringLiteral("🎤 已添加音频输入: ")).isEmpty());

    manager.setSaveFolder(dir.path());
    manager.configureResolution(VideoResolution::p720, VideoAspectRatio::ratio16x9);
    manager.startRecording();
    MainLoop::drain();
    ASSERT_TRUE(manager.isRecording());
    EXPECT_TRUE(log.contains(QStringLiteral("✅ 录制前: 音频连接已启用 active=true")));
    MainLoop::spin(2000);
    manager.stopRecording();
    MainLoop::drain();
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] { return manager.captureSession()->outputs().value(0)->finishedRecordings() >= 1; }, 15000));

    const MediaProbe probe = MediaProbe::read(*manager.currentRecordingURL());
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.width, 1280) << "the preset's size is asked of the camera";
    EXPECT_EQ(probe.height, 720);
    EXPECT_EQ(probe.chromaFormat, QStringLiteral("4:2:0"));
    EXPECT_EQ(probe.audioCodec, QStringLiteral("audio/mpeg"));
    EXPECT_NEAR(probe.firstVideoSeconds, 0.0, 1.0 / 15);
    EXPECT_NEAR(probe.durationSeconds, 2.0, 0.3) << "system clock: no absolute PipeWire timestamps";
    EXPECT_GE(probe.decodedVideoFrames, 45);
}
