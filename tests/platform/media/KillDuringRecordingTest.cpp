#include "CaptureSessionTestSupport.h"
#include "capture/MediaProbe.h"
#include "platform/media/ExportSession.h"
#include "platform/media/MediaAssetTestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <csignal>

namespace {
const char *childPathVariable = "VELTROSCOPE_TEST_KILL_CHILD_PATH";
}

// Runs only as the child of the test below: records until it is killed.
TEST(KillDuringRecording, DISABLED_ChildRecordsUntilKilled)
{
    const QString path = qEnvironmentVariable(childPathVariable);
    if (path.isEmpty()) {
        GTEST_SKIP() << "only run by KillDuringRecording.FileStillPlaysAfterKillNine";
    }
    RunningSession run(true, SessionPreset::p1280x720);
    ASSERT_TRUE(run.waitForPreviewFrames(3));
    run.output.startRecording(path, MovieFileOutput::RecordingSettings{1.0}, nullptr);
    QFile marker(path + QStringLiteral(".started"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    QThread::sleep(60);
}

TEST(KillDuringRecording, FileStillPlaysAfterKillNine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("killed.mp4"));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childPathVariable), path);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=KillDuringRecording.DISABLED_ChildRecordsUntilKilled"),
            QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForStarted());

    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(path + QStringLiteral(".started")) && timer.elapsed() < 60000) {
        QThread::msleep(20);
    }
    ASSERT_TRUE(QFile::exists(path + QStringLiteral(".started"))) << "the child never started recording";
    // A few fragments on disk, however far behind a loaded machine's encoder is.
    timer.restart();
    while (QFileInfo(path).size() < 64 * 1024 && timer.elapsed() < 60000) {
        QThread::msleep(20);
    }
    const double recordedSeconds = double(timer.elapsed()) / 1000.0;
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(30000));

    const MediaProbe probe = MediaProbe::read(path);
    ASSERT_TRUE(probe.readable) << "the file of a killed recording must still open";
    EXPECT_EQ(probe.videoCodec, QStringLiteral("video/x-h264"));
    EXPECT_NEAR(probe.firstVideoSeconds, 0.0, 1.0 / 30);
    // The half-second fragments already on disk play.
    EXPECT_GT(probe.lastVideoSeconds, 0) << "recorded " << recordedSeconds << " s";
    EXPECT_GT(probe.decodedAudioBuffers, 0);
    EXPECT_EQ(QSize(probe.width, probe.height), QSize(720, 720)) << "cut to its ratio from the first frame";

    // What the next start does with it: one plain file, copied, that plays.
    const QString final = dir.filePath(QStringLiteral("killed.cropped.mp4"));
    const auto session = ExportSession::make(MediaAsset(path));
    ASSERT_TRUE(session);
    session->setOutputPath(final);
    session->setShouldOptimizeForNetworkUse(true);
    std::atomic<bool> done = false;
    session->exportAsynchronously([&] { done = true; });
    timer.restart();
    while (!done && timer.elapsed() < 60000) {
        QThread::msleep(10);
    }
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or(QString()).toStdString();
    const QStringList boxes = testfiles::topLevelBoxes(final);
    EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat")) << boxes.join(',').toStdString();
    const MediaProbe remuxed = MediaProbe::read(final);
    EXPECT_TRUE(remuxed.decodeError.isEmpty()) << remuxed.decodeError.toStdString();
    // A fragment cut off by the kill may be read a little differently.
    EXPECT_NEAR(remuxed.decodedVideoFrames, probe.decodedVideoFrames, 15);
    EXPECT_GT(remuxed.decodedVideoFrames, 0);
}
