#include "CaptureSessionTestSupport.h"
#include "RecordingProbe.h"
#include "platform/media/PreviewSink.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {
bool waitForSize(const CaptureSession &session, QSize size)
{
    return MainLoop::waitUntil([&] { return session.activeVideoSize() == size; }, 8000);
}
} // namespace

TEST(CaptureSessionConfiguration, InputRules)
{
    CaptureSession session;
    auto camera = CaptureDeviceInput::make(TestDevices::camera(QStringLiteral("A"), QStringLiteral("a")), nullptr);
    auto other = CaptureDeviceInput::make(TestDevices::camera(QStringLiteral("B"), QStringLiteral("b")), nullptr);
    auto mic1 = CaptureDeviceInput::make(TestDevices::microphone(), nullptr);
    auto mic2
        = CaptureDeviceInput::make(TestDevices::microphone(QStringLiteral("Second"), QStringLiteral("m2")), nullptr);
    ASSERT_TRUE(camera && other && mic1 && mic2);

    EXPECT_TRUE(session.canAddInput(camera));
    session.addInput(camera);
    EXPECT_FALSE(session.canAddInput(camera)) << "the same input twice";
    EXPECT_FALSE(session.canAddInput(other)) << "one camera at a time";
    session.addInput(mic1);
    EXPECT_TRUE(session.canAddInput(mic2)) << "microphones may pile up";
    session.addInput(mic2);
    EXPECT_EQ(session.inputs().size(), 3);
    session.removeInput(camera);
    EXPECT_TRUE(session.canAddInput(other));

    MovieFileOutput output;
    MovieFileOutput second;
    EXPECT_TRUE(session.canAddOutput(&output));
    session.addOutput(&output);
    EXPECT_FALSE(session.canAddOutput(&second));
    EXPECT_FALSE(session.isRunning()) << "nothing runs before startRunning";
}

TEST(CaptureSessionConfiguration, InputsThatCannotBeMadeSayWhy)
{
    QString error;
    EXPECT_EQ(
        CaptureDeviceInput::make(TestDevices::broken(QStringLiteral("Broken"), MediaType::video), &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_EQ(CaptureDeviceInput::make(CaptureDevice(), &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
}

TEST(CaptureSessionConfiguration, PresetsFollowWhatTheCameraOffers)
{
    RunningSession fullHd(false, SessionPreset::high);
    EXPECT_TRUE(waitForSize(fullHd.session, QSize(1920, 1080))) << "high is the best up to 1080p at 30 fps";
    EXPECT_TRUE(fullHd.session.canSetSessionPreset(SessionPreset::p1920x1080));
    EXPECT_FALSE(fullHd.session.canSetSessionPreset(SessionPreset::p3840x2160));

    fullHd.session.setSessionPreset(SessionPreset::p640x480);
    EXPECT_TRUE(waitForSize(fullHd.session, QSize(640, 480)));
    // A size the camera cannot give falls back to the best it can, below it.
    fullHd.session.setSessionPreset(SessionPreset::p3840x2160);
    EXPECT_TRUE(waitForSize(fullHd.session, QSize(1920, 1080)));

    RunningSession small(
        false, SessionPreset::p1920x1080, TestDevices::camera(QStringLiteral("Small"), QStringLiteral("s"), 1280, 720));
    EXPECT_TRUE(waitForSize(small.session, QSize(1280, 720)));
    EXPECT_TRUE(small.waitForPreviewFrames(3)) << "an unsupported preset must not stop the preview";
    small.session.setSessionPreset(SessionPreset::high);
    EXPECT_EQ(small.session.activeVideoSize(), QSize(1280, 720)) << "high never asks above what the camera has";

    CaptureSession empty;
    EXPECT_FALSE(empty.canSetSessionPreset(SessionPreset::p640x480)) << "no camera, no sizes";
}

TEST(CaptureSessionConfiguration, SizeChangeWaitsForTheRecordingToEnd)
{
    QTemporaryDir dir;
    RunningSession run(false, SessionPreset::p640x480);
    ASSERT_TRUE(waitForSize(run.session, QSize(640, 480)));
    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("steady.mp4"));
    run.output.startRecording(path, reports.delegate());
    QThread::msleep(300);
    run.session.setSessionPreset(SessionPreset::p1280x720);
    EXPECT_EQ(run.session.activeVideoSize(), QSize(640, 480)) << "a new size mid-recording would break the file";
    run.output.stopRecording();
    ASSERT_TRUE(reports.waitFor(1));
    EXPECT_FALSE(reports.error().has_value());
    EXPECT_TRUE(waitForSize(run.session, QSize(1280, 720)));
}

TEST(CaptureSessionConfiguration, TransactionAppliesOnTheOutermostCommit)
{
    RunningSession run(false, SessionPreset::p640x480);
    ASSERT_TRUE(waitForSize(run.session, QSize(640, 480)));
    run.session.beginConfiguration();
    run.session.beginConfiguration();
    run.session.setSessionPreset(SessionPreset::p1280x720);
    run.session.commitConfiguration();
    EXPECT_EQ(run.session.activeVideoSize(), QSize(640, 480));
    run.session.commitConfiguration();
    EXPECT_TRUE(waitForSize(run.session, QSize(1280, 720)));
}

TEST(PreviewSink, HandsScaledFramesToTheMainThread)
{
    RunningSession run(false, SessionPreset::p1920x1080);
    PreviewSink sink(&run.session);
    QImage received;
    bool onMainThread = false;
    QObject::connect(&sink, &PreviewSink::frameReady, [&](const QImage &frame) {
        received = frame;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    ASSERT_TRUE(MainLoop::waitUntil([&] { return sink.framesDelivered() >= 3; }, 8000));
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(received.size(), QSize(960, 540));
    EXPECT_FALSE(received.isNull());
}

TEST(PreviewSink, SlowMainThreadDoesNotHoldTheCameraBack)
{
    RunningSession run(false, SessionPreset::p640x480);
    PreviewSink sink(&run.session);
    // The main thread does not spin: frames keep flowing into the pipeline and
    // at most one delivery waits in the queue.
    ASSERT_TRUE(run.waitForPreviewFrames(20));
    MainLoop::drain();
    EXPECT_LE(sink.framesDelivered(), 2);
    EXPECT_FALSE(sink.latestFrame().isNull());
}
