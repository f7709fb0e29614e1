#include "CameraManagerTestSupport.h"
#include "MediaProbe.h"
#include "PictureProbe.h"

#include "platform/media/MovieFileOutput.h"
#include "platform/media/SystemCapturePermissions.h"
#include "platform/media/SystemDeviceProvider.h"

#include "library/DatabaseManager.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

using namespace CameraManagerTest;

// Real discovery against the private PipeWire session that
// tests/with-virtual-devices.sh starts (a test-pattern camera, a webcam that
// sends only JPEG pictures, and a microphone fed by a null sink).
namespace {
bool insideVirtualDevices()
{
    return qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR") && qEnvironmentVariableIsSet("PULSE_SERVER");
}
const QString cameraName = QStringLiteral("Veltroscope Test Camera");
const QString jpegCameraName = QStringLiteral("Veltroscope-MJPEG-Camera");

// The plain manager, on the named camera, with a preview.
struct RealManager {
    LogCapture log;
    CameraManager manager;
    PreviewSink *preview = nullptr;

    bool ready(const QString &camera)
    {
        if (!waitForSetup(log, 15000)) {
            return false;
        }
        const QList<CaptureDevice> devices = manager.availableDevices();
        const auto found = std::find_if(devices.begin(), devices.end(),
            [&](const CaptureDevice &device) { return device.localizedName() == camera; });
        if (found == devices.end()) {
            return false;
        }
        if (!(manager.selectedDevice() == *found)) {
            const int setups = log.linesStartingWith(QStringLiteral("✅ 音频连接已启用")).size();
            manager.selectDevice(*found);
            MainLoop::waitUntil(
                [&] { return log.linesStartingWith(QStringLiteral("✅ 音频连接已启用")).size() > setups; }, 15000);
        }
        preview = new PreviewSink(manager.captureSession(), &manager);
        return waitForPreview(manager, 5, 15000);
    }
};

// Every take's first second shows the camera's picture.
void expectDetailInTheFirstSecond(const QString &path, const PreviewSink &preview)
{
    const PictureProbe pictures = PictureProbe::read(path, 30);
    EXPECT_TRUE(pictures.startsCleanly()) << pictures.describe().toStdString();
    EXPECT_FALSE(pictures.lumaSpread.isEmpty());
    EXPECT_TRUE(pictures.firstPicturesHaveDetail(PictureProbe::spreadOf(preview.latestFrame()), 0.5))
        << pictures.describe().toStdString();
}
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
    const auto jpeg = std::find_if(cameras.begin(), cameras.end(),
        [](const CaptureDevice &camera) { return camera.localizedName() == jpegCameraName; });
    ASSERT_NE(jpeg, cameras.end()) << "a camera with only image/jpeg caps is listed";
    EXPECT_TRUE(jpeg->supportsFrameSize({1920, 1080}));
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
    RealManager real;
    CameraManager &manager = real.manager;
    ASSERT_TRUE(real.ready(cameraName));
    EXPECT_TRUE(manager.hasCameraPermission());
    EXPECT_TRUE(manager.hasMicPermission());
    EXPECT_FALSE(real.log.linesStartingWith(QStringLiteral("🎤 已添加音频输入: ")).isEmpty());

    manager.setSaveFolder(dir.path());
    const QString path = recordTake(manager, VideoResolution::p720, VideoAspectRatio::ratio16x9, 2000);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(real.log.contains(QStringLiteral("✅ 录制前: 音频连接已启用 active=true")));

    const MediaProbe probe = MediaProbe::read(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.width, 1280) << "the preset's size is asked of the camera";
    EXPECT_EQ(probe.height, 720);
    EXPECT_EQ(probe.chromaFormat, QStringLiteral("4:2:0"));
    EXPECT_EQ(probe.audioCodec, QStringLiteral("audio/mpeg"));
    EXPECT_NEAR(probe.firstVideoSeconds, 0.0, 1.0 / 15);
    EXPECT_NEAR(probe.firstAudioSeconds, probe.firstVideoSeconds, 0.1);
    EXPECT_GT(probe.lastVideoSeconds, 0);
    EXPECT_LT(probe.durationSeconds, 60) << "system clock: no absolute PipeWire timestamps";
    expectDetailInTheFirstSecond(path, *real.preview);
}

TEST(VirtualDevices, AJpegOnlyWebcamRecordsFullHdAt30FpsWithSound)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    QTemporaryDir dir;
    RealManager real;
    ASSERT_TRUE(real.ready(jpegCameraName));
    EXPECT_EQ(real.manager.captureSession()->activeVideoSize(), QSize(1920, 1080))
        << "the high preset is 1080p: the default take needs no restart";
    real.manager.setSaveFolder(dir.path());
    const QString path = recordTake(real.manager, VideoResolution::p1080, VideoAspectRatio::ratio16x9, 2000);
    ASSERT_FALSE(path.isEmpty());

    const MediaProbe probe = MediaProbe::read(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.width, 1920);
    EXPECT_EQ(probe.height, 1080);
    EXPECT_NEAR(probe.framesPerSecond(), 30, 1.5);
    EXPECT_EQ(probe.audioCodec, QStringLiteral("audio/mpeg"));
    EXPECT_GT(probe.decodedAudioBuffers, 0);
    EXPECT_NEAR(probe.firstAudioSeconds, probe.firstVideoSeconds, 0.1) << "first picture within 0.1 s of first sound";
    expectDetailInTheFirstSecond(path, *real.preview);
}

namespace {
// The system's devices, of which only the cameras named `name` are listed:
// the session's own cameras stay out of sight.
class NamedCameras : public CaptureDeviceProvider {
public:
    explicit NamedCameras(QString name) : m_name(std::move(name)) { }
    QList<CaptureDevice> videoDevices() override
    {
        QList<CaptureDevice> named;
        for (const CaptureDevice &device : m_system->videoDevices()) {
            if (device.localizedName() == m_name) {
                named.append(device);
            }
        }
        return named;
    }
    std::optional<CaptureDevice> defaultAudioDevice() override { return m_system->defaultAudioDevice(); }
    int addChangeHandler(ChangeHandler handler) override { return m_system->addChangeHandler(std::move(handler)); }
    void removeChangeHandler(int id) override { m_system->removeChangeHandler(id); }

private:
    QString m_name;
    std::shared_ptr<SystemDeviceProvider> m_system = SystemDeviceProvider::shared();
};
} // namespace

TEST(VirtualDevices, ACameraPluggedInLaterIsChosenAndUnpluggedMidTakeEndsTheTake)
{
    if (!insideVirtualDevices()) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    const QString lateName = QStringLiteral("Veltroscope-Late-Camera");
    QTemporaryDir dir;
    LogCapture log;
    auto provider = std::make_shared<NamedCameras>(lateName);
    CameraManager manager(provider, std::make_shared<SystemCapturePermissions>(SystemDeviceProvider::shared()));
    manager.setSaveFolder(dir.path());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return log.contains(QStringLiteral("📷 发现 0 个摄像头设备")); }, 15000));
    EXPECT_FALSE(manager.selectedDevice().has_value());

    // A camera plugged in: a client that provides a camera node to the
    // session, a JPEG webcam as the session's own.
    QProcess camera;
    camera.setStandardErrorFile(QProcess::nullDevice()); // its own warnings are not ours
    camera.start(QStringLiteral("gst-launch-1.0"),
        {"-q", "videotestsrc", "is-live=true", "pattern=smpte", "!",
            "video/x-raw,format=I420,width=1920,height=1080,framerate=30/1", "!", "jpegenc", "quality=50", "!",
            "pipewiresink", "mode=provide",
            "stream-properties=props,media.class=Video/Source,node.name=veltroscope-late-camera,node.description="
                + lateName});
    ASSERT_TRUE(camera.waitForStarted());
    const bool chosen = MainLoop::waitUntil(
        [&] { return manager.selectedDevice() && manager.selectedDevice()->localizedName() == lateName; }, 30000);
    if (!chosen) {
        camera.kill();
        camera.waitForFinished();
    }
    ASSERT_TRUE(chosen) << "listed and chosen, since none was";
    EXPECT_EQ(manager.availableDevices().size(), 1);
    ASSERT_TRUE(waitForPreview(manager, 5, 15000));

    // Its own size: a client-provided camera does not take a restart well.
    manager.configureResolution(VideoResolution::p1080, VideoAspectRatio::ratio16x9);
    manager.startRecording();
    ASSERT_TRUE(waitForRecording(manager));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return manager.recordingStartedAt().has_value(); }, 15000))
        << "the take writes pictures";
    MainLoop::spin(1500);
    const QString path = *manager.currentRecordingURL();
    camera.kill(); // unplugged
    camera.waitForFinished();
    ASSERT_TRUE(waitForRecording(manager, false, 20000)) << "the take ends";
    EXPECT_FALSE(manager.lastTakeFailure().isEmpty());
    EXPECT_TRUE(MainLoop::waitUntil([&] { return !manager.selectedDevice().has_value(); }, 20000));
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] {
            const auto videos = DatabaseManager::shared().videos();
            return !videos.isEmpty() && videos.first().filePath == path;
        },
        60000))
        << "what was written is kept";
    EXPECT_GT(MediaProbe::read(path, false).durationSeconds, 0.5);
}
