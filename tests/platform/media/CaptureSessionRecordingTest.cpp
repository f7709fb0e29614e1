#include "CaptureSessionTestSupport.h"
#include "RecordingProbe.h"
#include "capture/MediaProbe.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr double frameSeconds = 1.0 / 30.0;

// Records for about `seconds`.
void recordFor(RunningSession &run, const QString &path, FinishedReports &reports, double seconds)
{
    run.output.startRecording(path, reports.delegate());
    QThread::msleep(int(seconds * 1000));
    run.output.stopRecording();
}

} // namespace

TEST(CaptureSessionRecording, WritesH264At420AndAacStartingAtZero)
{
    QTemporaryDir dir;
    RunningSession run;
    ASSERT_TRUE(run.waitForPreviewFrames(5));
    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("take.mp4"));

    recordFor(run, path, reports, 2.0);
    EXPECT_FALSE(run.output.isRecording()) << "stopping must be visible at once";
    ASSERT_TRUE(reports.waitFor(1));
    EXPECT_EQ(reports.path(), path);
    EXPECT_FALSE(reports.error().has_value()) << reports.error().value_or(QString()).toStdString();

    const MediaProbe probe = MediaProbe::read(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_TRUE(probe.seekable);
    EXPECT_EQ(probe.videoCodec, QStringLiteral("video/x-h264"));
    EXPECT_EQ(probe.chromaFormat, QStringLiteral("4:2:0"));
    EXPECT_EQ(probe.width, 1280);
    EXPECT_EQ(probe.height, 720);
    EXPECT_EQ(probe.audioCodec, QStringLiteral("audio/mpeg"));
    EXPECT_EQ(probe.audioMpegVersion, 4);
    EXPECT_TRUE(probe.decodeError.isEmpty()) << probe.decodeError.toStdString();
    EXPECT_GT(probe.decodedAudioBuffers, 0);
    EXPECT_NEAR(probe.firstVideoSeconds, 0.0, frameSeconds);
    EXPECT_NEAR(probe.firstAudioSeconds, probe.firstVideoSeconds, 0.1) << "picture and sound start together";
    EXPECT_NEAR(probe.framesPerSecond(), 30, 1);
    EXPECT_EQ(run.output.lastRecordingVideoFrames(), probe.decodedVideoFrames);

    QThread::msleep(300);
    EXPECT_EQ(reports.count(), 1) << "one report per recording";
}

TEST(CaptureSessionRecording, FiveCyclesInARowWhilePreviewKeepsRunning)
{
    QTemporaryDir dir;
    RunningSession run(true, SessionPreset::p640x480);
    ASSERT_TRUE(run.waitForPreviewFrames(5));
    FinishedReports reports;
    for (int cycle = 0; cycle < 5; ++cycle) {
        const QString path = dir.filePath(QStringLiteral("cycle%1.mp4").arg(cycle));
        recordFor(run, path, reports, 0.7);
        ASSERT_TRUE(reports.waitFor(cycle + 1)) << "cycle " << cycle;
        EXPECT_FALSE(reports.error().has_value()) << "cycle " << cycle;
        ASSERT_TRUE(run.waitForPreviewFrames(3)) << "preview stalled after cycle " << cycle;
    }

    for (int cycle = 0; cycle < 5; ++cycle) {
        const MediaProbe probe = MediaProbe::read(dir.filePath(QStringLiteral("cycle%1.mp4").arg(cycle)));
        ASSERT_TRUE(probe.readable) << "cycle " << cycle;
        EXPECT_EQ(probe.width, 640);
        EXPECT_EQ(probe.audioCodec, QStringLiteral("audio/mpeg"));
        EXPECT_NEAR(probe.firstVideoSeconds, 0.0, frameSeconds) << "cycle " << cycle;
        EXPECT_GT(probe.decodedVideoFrames, 0) << "cycle " << cycle;
        EXPECT_TRUE(probe.decodeError.isEmpty()) << probe.decodeError.toStdString();
    }
}

TEST(CaptureSessionRecording, WithoutMicrophoneWritesVideoOnly)
{
    QTemporaryDir dir;
    RunningSession run(false, SessionPreset::p640x480);
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    EXPECT_EQ(run.output.connectionWithMediaType(MediaType::audio), nullptr);
    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("silent.mp4"));
    recordFor(run, path, reports, 1.0);
    ASSERT_TRUE(reports.waitFor(1));
    const MediaProbe probe = MediaProbe::read(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_EQ(probe.videoCodec, QStringLiteral("video/x-h264"));
    EXPECT_TRUE(probe.audioCodec.isEmpty());
}

TEST(CaptureSessionRecording, DisabledAudioConnectionLeavesSoundOut)
{
    QTemporaryDir dir;
    RunningSession run(true, SessionPreset::p640x480);
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    CaptureConnection *connection = run.output.connectionWithMediaType(MediaType::audio);
    ASSERT_NE(connection, nullptr);
    EXPECT_TRUE(connection->isActive());
    connection->setEnabled(false);
    EXPECT_FALSE(connection->isActive());
    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("muted.mp4"));
    recordFor(run, path, reports, 0.6);
    ASSERT_TRUE(reports.waitFor(1));
    EXPECT_TRUE(MediaProbe::read(path, false).audioCodec.isEmpty());
}

TEST(CaptureSessionRecording, NeverOverwritesAnExistingFile)
{
    QTemporaryDir dir;
    RunningSession run(false, SessionPreset::p640x480);
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    const QString path = dir.filePath(QStringLiteral("earlier.mp4"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("an earlier recording");
    }
    FinishedReports reports;
    run.output.startRecording(path, reports.delegate());
    EXPECT_FALSE(run.output.isRecording());
    QThread::msleep(300);
    EXPECT_EQ(reports.count(), 0) << "the earlier file must not be handed on as a new recording";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("an earlier recording"));
}

TEST(CaptureSessionRecording, FailuresToStartAreReportedOnceWithAnError)
{
    // An output outside any session, and a folder that cannot be written.
    MovieFileOutput loose;
    FinishedReports looseReports;
    loose.startRecording(QStringLiteral("/tmp/never-written.mp4"), looseReports.delegate());
    ASSERT_TRUE(looseReports.waitFor(1));
    EXPECT_TRUE(looseReports.error().has_value());

    RunningSession run(false, SessionPreset::p640x480);
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    FinishedReports reports;
    const QString path = QStringLiteral("/proc/veltroscope-no-such-folder/take.mp4");
    run.output.startRecording(path, reports.delegate());
    ASSERT_TRUE(reports.waitFor(1));
    EXPECT_TRUE(reports.error().has_value());
    EXPECT_EQ(reports.path(), path);
    EXPECT_FALSE(run.output.isRecording());
    QThread::msleep(200);
    EXPECT_EQ(reports.count(), 1);
    EXPECT_EQ(looseReports.count(), 1);
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/never-written.mp4")));
}

TEST(CaptureSessionRecording, RemovingTheOutputFinishesTheFile)
{
    QTemporaryDir dir;
    RunningSession run(true, SessionPreset::p640x480);
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("cut.mp4"));
    run.output.startRecording(path, reports.delegate());
    // Removed once pictures reach the file: on a loaded machine the first
    // can take longer than any fixed wait.
    ASSERT_TRUE(MainLoop::waitUntil([&] { return run.output.firstPictureTime().has_value(); }, 30000));
    QThread::msleep(300);
    run.session.removeOutput(&run.output);
    ASSERT_TRUE(reports.waitFor(1));
    EXPECT_FALSE(reports.error().has_value());
    const MediaProbe probe = MediaProbe::read(path);
    EXPECT_TRUE(probe.readable);
    EXPECT_GT(probe.decodedVideoFrames, 0);
    EXPECT_TRUE(probe.decodeError.isEmpty()) << probe.decodeError.toStdString();
}

TEST(CaptureSessionRecording, StopRightAfterStartStillLeavesAPicture)
{
    QTemporaryDir dir;
    RunningSession run(false, SessionPreset::p640x480);
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    FinishedReports reports;
    const QString path = dir.filePath(QStringLiteral("blink.mp4"));
    run.output.startRecording(path, reports.delegate());
    run.output.stopRecording();
    EXPECT_FALSE(run.output.isRecording());
    ASSERT_TRUE(reports.waitFor(1, 20000));
    EXPECT_FALSE(reports.error().has_value());
    const MediaProbe probe = MediaProbe::read(path);
    ASSERT_TRUE(probe.readable);
    EXPECT_GE(probe.decodedVideoFrames, 1);
}
