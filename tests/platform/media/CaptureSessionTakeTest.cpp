#include "CaptureSessionTestSupport.h"
#include "RecordingProbe.h"
#include "capture/MediaProbe.h"
#include "capture/PictureProbe.h"
#include "platform/media/PreviewSink.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

// The spread of the camera's own picture, from the preview.
double previewSpread(const RunningSession &run, PreviewSink &sink)
{
    run.waitForPreviewFrames(3);
    return PictureProbe::spreadOf(sink.latestFrame());
}

QString takePath(const QTemporaryDir &dir, int take)
{
    return dir.filePath(QStringLiteral("take%1.mp4").arg(take));
}

} // namespace

TEST(CaptureSessionTake, EveryTakeStartsOnAKeyFrameWithPictureAndSoundTogether)
{
    // Pictures reach the session 60 ms after they were taken, so each take
    // starts while the next one is on its way.
    QTemporaryDir dir;
    RunningSession run(true, SessionPreset::p640x480, TestDevices::lateCamera());
    PreviewSink sink(&run.session);
    const double reference = previewSpread(run, sink);
    ASSERT_GT(reference, 20);
    FinishedReports reports;
    for (int take = 0; take < 8; ++take) {
        run.output.startRecording(takePath(dir, take), reports.delegate());
        QThread::msleep(400);
        run.output.stopRecording();
        ASSERT_TRUE(reports.waitFor(take + 1)) << "take " << take;
        ASSERT_FALSE(reports.error().has_value()) << reports.error()->toStdString();
    }
    for (int take = 0; take < 8; ++take) {
        const PictureProbe pictures = PictureProbe::read(takePath(dir, take), 3);
        EXPECT_TRUE(pictures.startsCleanly()) << "take " << take << ": " << pictures.describe().toStdString();
        EXPECT_TRUE(pictures.firstPicturesHaveDetail(reference))
            << "take " << take << ": " << pictures.describe().toStdString();
        const MediaProbe probe = MediaProbe::read(takePath(dir, take));
        EXPECT_NEAR(probe.firstVideoSeconds, 0, 1.0 / 30) << "take " << take;
        EXPECT_NEAR(probe.firstAudioSeconds, probe.firstVideoSeconds, 0.1) << "take " << take;
    }
}

TEST(CaptureSessionTake, AJpegOnlyCameraRecordsFullHdAt30Fps)
{
    QTemporaryDir dir;
    RunningSession run(true, SessionPreset::high, TestDevices::jpegCamera());
    PreviewSink sink(&run.session);
    const double reference = previewSpread(run, sink);
    EXPECT_EQ(run.session.activeVideoSize(), QSize(1920, 1080));
    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("webcam.mp4"));
    run.output.startRecording(path, reports.delegate());
    QThread::msleep(1500);
    run.output.stopRecording();
    ASSERT_TRUE(reports.waitFor(1));
    EXPECT_FALSE(reports.error().has_value());

    const MediaProbe probe = MediaProbe::read(path);
    EXPECT_EQ(probe.width, 1920);
    EXPECT_EQ(probe.height, 1080);
    EXPECT_NEAR(probe.framesPerSecond(), 30, 1.5);
    EXPECT_EQ(probe.audioCodec, QStringLiteral("audio/mpeg"));
    EXPECT_TRUE(PictureProbe::read(path, 3).firstPicturesHaveDetail(reference));
}

TEST(CaptureSessionTake, ACameraFailingMidTakeEndsItWithWhatWasWritten)
{
    QTemporaryDir dir;
    LogCapture log;
    RunningSession run(true, SessionPreset::p640x480, TestDevices::failingCamera(45));
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    // A new size restarts the camera: its pictures count from the take's start.
    run.session.setSessionPreset(SessionPreset::p1280x720);
    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("unplugged.mp4"));
    run.output.startRecording(path, reports.delegate());
    ASSERT_TRUE(reports.waitFor(1)) << "the take ends by itself";
    EXPECT_FALSE(run.output.isRecording());
    ASSERT_TRUE(reports.error().has_value());
    EXPECT_TRUE(reports.error()->contains(QStringLiteral("Failing"))) << reports.error()->toStdString();
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("❌ 采集设备出错: Failing")).size(), 1);

    const MediaProbe probe = MediaProbe::read(path);
    ASSERT_TRUE(probe.readable) << "what was written is a complete file";
    EXPECT_TRUE(probe.decodeError.isEmpty()) << probe.decodeError.toStdString();
    EXPECT_GT(probe.decodedVideoFrames, 0);
    EXPECT_GT(probe.decodedAudioBuffers, 0);
}

TEST(CaptureSessionTake, AFileThatCannotGrowEndsTheTakeWithAnError)
{
    // The file may not grow past 256 KiB, as on a disk that is full.
    QTemporaryDir dir;
    LogCapture log;
    RunningSession run(false, SessionPreset::p640x480, TestDevices::noiseCamera());
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = original;
    small.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("full.mp4"));
    run.output.startRecording(path, reports.delegate());
    const bool ended = reports.waitFor(1);
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousSignal);

    ASSERT_TRUE(ended) << "the take ends by itself";
    EXPECT_FALSE(run.output.isRecording());
    EXPECT_TRUE(reports.error().has_value());
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("❌ 录制出错: ")).size(), 1);
    EXPECT_LE(QFileInfo(path).size(), qint64(small.rlim_cur));
    EXPECT_TRUE(MediaProbe::read(path, false).readable) << "the fragments written so far still open";
    EXPECT_TRUE(run.waitForPreviewFrames(3)) << "the camera keeps going";
}
