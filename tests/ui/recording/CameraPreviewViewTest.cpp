#include "RecordingScreenFixture.h"

#include "platform/media/CaptureSession.h"
#include "platform/media/PreviewSink.h"
#include "ui/recording/CameraPreviewView.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>

using namespace RecordingScreen;

namespace {

struct Camera {
    LogCapture log;
    std::unique_ptr<CameraManager> manager;

    explicit Camera(CaptureDevice device = colourBars())
        : manager(std::make_unique<CameraManager>(TestDevices::provider({device}), TestDevices::permissions()))
    {
    }
    bool ready() const
    {
        return MainLoop::waitUntil(
            [&] { return !log.linesStartingWith(QStringLiteral("✅ 音频连接已启用 active=")).isEmpty(); }, 10000);
    }
};

bool waitForFrames(const CameraPreviewView &view, qint64 frames)
{
    const qint64 start = view.framesShown();
    return MainLoop::waitUntil([&] { return view.framesShown() >= start + frames; }, 10000);
}

// Frames of the size the view asked for (the caps have renegotiated).
bool waitForFrameSize(const CameraPreviewView &view, QSize size)
{
    return MainLoop::waitUntil([&] { return view.previewLayer()->latestFrame().size() == size; }, 10000);
}

bool isBlack(QRgb pixel)
{
    return qRed(pixel) < 16 && qGreen(pixel) < 16 && qBlue(pixel) < 16;
}

// Whether most of a coarse grid of samples shows the picture.
int litSamples(const QImage &image)
{
    int lit = 0;
    for (int y = 1; y < 8; ++y) {
        for (int x = 1; x < 8; ++x) {
            lit += isBlack(image.pixel(image.width() * x / 8, image.height() * y / 8)) ? 0 : 1;
        }
    }
    return lit;
}

} // namespace

TEST(CameraPreviewView, ShowsTheCameraAspectFilledAtTheViewsPixelSize)
{
    Camera camera;
    ASSERT_TRUE(camera.ready());
    CameraPreviewView view(camera.manager.get());
    ASSERT_NE(view.previewLayer(), nullptr);
    EXPECT_EQ(camera.manager->previewLayer(), view.previewLayer()) << "stored in the manager";
    view.resize(400, 300);
    view.show();
    EXPECT_EQ(view.previewLayer()->targetSize(), QSize(400, 300));

    // The camera runs at 1280 x 720: the pipeline scales it to cover 400 x 300
    // with its proportions kept, and the view cuts the sides off.
    ASSERT_TRUE(waitForFrameSize(view, QSize(534, 300)));
    ASSERT_TRUE(waitForFrames(view, 3));
    const QImage shown = view.grab().toImage();
    EXPECT_EQ(shown.size(), QSize(400, 300));
    EXPECT_GE(litSamples(shown), 40) << "the picture, not black";
    // The frame's centre lands on the view's centre, unscaled.
    const QImage frame = view.previewLayer()->latestFrame();
    EXPECT_EQ(shown.pixel(200, 40), frame.pixel(267, 40));

    // Taller than the picture: the height covers now, the sides overflow less.
    view.resize(300, 400);
    ASSERT_TRUE(waitForFrameSize(view, QSize(712, 400)));

    // A new camera size renegotiates too.
    camera.manager->configureResolution(VideoResolution::p480, VideoAspectRatio::ratio16x9);
    ASSERT_TRUE(waitForFrameSize(view, QSize(534, 400))) << "4:3 covering 300 x 400";
    EXPECT_EQ(view.framesSkipped() + view.framesShown() <= view.previewLayer()->framesOffered(), true);
}

TEST(CameraPreviewView, BlackUntilFramesArriveAndOneLayerForEveryView)
{
    Camera noCamera(TestDevices::broken(QStringLiteral("Broken"), MediaType::video));
    CameraPreviewView first(noCamera.manager.get());
    first.resize(200, 100);
    first.show();
    const QImage black = first.grab().toImage();
    EXPECT_EQ(black.pixel(100, 50), qRgb(0, 0, 0));
    EXPECT_EQ(black.pixel(0, 0), qRgb(0, 0, 0));

    PreviewSink *layer = first.previewLayer();
    ASSERT_NE(layer, nullptr);
    EXPECT_TRUE(first.isShowingLayer());
    CameraPreviewView second(noCamera.manager.get());
    EXPECT_EQ(second.previewLayer(), layer) << "no second preview layer";
    EXPECT_EQ(noCamera.manager->findChildren<PreviewSink *>().size(), 1);
    EXPECT_TRUE(second.isShowingLayer()) << "the later view takes the layer over";
    EXPECT_FALSE(first.isShowingLayer());
}

TEST(CameraPreviewView, VirtualCameraFramesAreShown)
{
    if (!qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR")) {
        GTEST_SKIP() << "needs the private PipeWire session: run through tests/with-virtual-devices.sh";
    }
    LogCapture log;
    CameraManager manager;
    CameraPreviewView view(&manager);
    view.resize(480, 270);
    view.show();
    // The window keeps changing size while the camera starts up: a new
    // preview size must never stall the camera.
    QElapsedTimer startup;
    startup.start();
    for (int step = 0; startup.elapsed() < 2000; ++step) {
        view.resize(400 + step % 80, 270);
        MainLoop::spin(5);
    }
    view.resize(480, 270);
    ASSERT_TRUE(manager.selectedDevice().has_value());
    ASSERT_TRUE(waitForFrames(view, 5)) << "frames from the virtual camera";
    ASSERT_TRUE(waitForFrameSize(view, QSize(480, 270)));
    ASSERT_TRUE(waitForFrames(view, 2));
    EXPECT_GE(litSamples(view.grab().toImage()), 25) << "the test pattern, not black";

    // A new size while the camera streams: only the scaler renegotiates, the
    // camera keeps delivering.
    view.resize(320, 320);
    ASSERT_TRUE(waitForFrameSize(view, QSize(569, 320)));
    ASSERT_TRUE(waitForFrames(view, 10)) << "frames keep coming after the resize";
}
