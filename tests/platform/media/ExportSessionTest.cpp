#include "platform/media/ExportSession.h"

#include "CaptureSessionTestSupport.h"
#include "RecordingProbe.h"
#include "StreamSamples.h"
#include "capture/MediaProbe.h"
#include "platform/media/ExportPipeline.h"
#include "platform/media/GstPtr.h"
#include "platform/media/MediaAssetTestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
// Runs an export and waits for its completion; returns how often it was called.
int exportAndWait(const std::shared_ptr<ExportSession> &session, std::thread::id *completionThread = nullptr)
{
    std::mutex mutex;
    std::condition_variable done;
    int calls = 0;
    session->exportAsynchronously([&] {
        std::lock_guard lock(mutex);
        ++calls;
        if (completionThread) {
            *completionThread = std::this_thread::get_id();
        }
        done.notify_all();
    });
    std::unique_lock lock(mutex);
    done.wait_for(lock, std::chrono::seconds(120), [&] { return calls > 0; });
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // a second call would show here
    std::lock_guard again(mutex);
    return calls;
}

// Takes a plugin out of this process's registry, as if it were not installed.
void uninstallPlugin(const char *name)
{
    GstRegistry *registry = gst_registry_get();
    if (GstPlugin *plugin = gst_registry_find_plugin(registry, name)) {
        gst_registry_remove_plugin(registry, plugin);
        gst_object_unref(plugin);
    }
}

const char *noEncodersFolderVariable = "VELTROSCOPE_TEST_NO_ENCODERS_FOLDER";

std::shared_ptr<ExportSession> remuxSession(
    const QString &input, const QString &output, std::optional<double> keptSeconds = std::nullopt)
{
    auto session = ExportSession::make(MediaAsset(input));
    if (session) {
        session->setOutputPath(output);
        session->setKeptDuration(keptSeconds);
        session->setShouldOptimizeForNetworkUse(true);
    }
    return session;
}

testfiles::VideoSpec fragmentedClip()
{
    testfiles::VideoSpec clip;
    clip.size = {320, 320};
    clip.frameCount = 45;
    clip.isFragmented = true;
    return clip;
}

bool isPlainWithIndexFirst(const QStringList &boxes)
{
    return boxes.contains("moov") && boxes.contains("mdat") && boxes.indexOf("moov") < boxes.indexOf("mdat")
        && !boxes.contains("moof");
}

// The samples of `copy` are the first of `original`, byte for byte, at their
// times (within `tolerance`: the muxer's time scale may round them).
::testing::AssertionResult isCopyOf(
    const QList<samples::Sample> &copy, const QList<samples::Sample> &original, GstClockTime tolerance = 0)
{
    if (copy.isEmpty() || copy.size() > original.size()) {
        return ::testing::AssertionFailure() << copy.size() << " samples against " << original.size();
    }
    for (qsizetype index = 0; index < copy.size(); ++index) {
        if (copy[index].bytes != original[index].bytes) {
            return ::testing::AssertionFailure() << "the bytes of sample " << index << " differ";
        }
        const GstClockTimeDiff moved = GST_CLOCK_DIFF(original[index].pts, copy[index].pts);
        if (GstClockTime(std::abs(moved)) > tolerance) {
            return ::testing::AssertionFailure() << "sample " << index << " moved by " << moved << " ns";
        }
    }
    return ::testing::AssertionSuccess();
}
} // namespace

TEST(ExportSession, RemuxCopiesEverySampleIntoAPlainFileWithTheIndexFirst)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("take.mp4");
    ASSERT_TRUE(testfiles::writeVideo(input, fragmentedClip()));
    ASSERT_TRUE(testfiles::topLevelBoxes(input).contains("moof")) << "the input is fragmented, as a take is";

    const QString output = dir.filePath("take.cropped.mp4");
    const auto session = remuxSession(input, output);
    ASSERT_TRUE(session);
    std::thread::id completionThread;
    EXPECT_EQ(exportAndWait(session, &completionThread), 1);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();
    EXPECT_NE(completionThread, std::this_thread::get_id());

    EXPECT_TRUE(isPlainWithIndexFirst(testfiles::topLevelBoxes(output)))
        << testfiles::topLevelBoxes(output).join(' ').toStdString();
    const QList<samples::Sample> video = samples::encoded(output, "video_0");
    EXPECT_EQ(video.size(), 45);
    EXPECT_TRUE(isCopyOf(video, samples::encoded(input, "video_0")));
    EXPECT_TRUE(isCopyOf(samples::encoded(output, "audio_0"), samples::encoded(input, "audio_0")));
    const MediaProbe probe = MediaProbe::read(output);
    EXPECT_TRUE(probe.decodeError.isEmpty()) << probe.decodeError.toStdString();
    EXPECT_EQ(probe.decodedVideoFrames, 45);
    EXPECT_EQ(probe.width, 320);
    EXPECT_FALSE(QFile::exists(ExportPipeline::scratchPath(output)));
}

// A take of the capture session, cut as a spoken stop phrase cuts it: the
// copy ends with the last picture before the cut, the sound within one of its
// frames of it, and what is kept is what the encoder wrote during the take.
TEST(ExportSession, ACutEndsAtItsFrameWithTheSoundAndReencodesNothing)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("take.mp4");
    {
        RunningSession run(true, SessionPreset::p640x480);
        ASSERT_TRUE(run.waitForPreviewFrames(3));
        FinishedReports reports;
        run.output.startRecording(input, MovieFileOutput::RecordingSettings{1.0}, reports.delegate());
        ASSERT_TRUE(run.waitForPreviewFrames(50));
        run.output.stopRecording();
        ASSERT_TRUE(reports.waitFor(1));
    }
    const QList<samples::Sample> recorded = samples::encoded(input, "video_0");
    const QList<samples::Sample> recordedSound = samples::encoded(input, "audio_0");
    ASSERT_GE(recorded.size(), 30);
    ASSERT_FALSE(recordedSound.isEmpty());
    // Halfway between two pictures, so the frame the cut falls on is plain.
    const qsizetype lastKept = recorded.size() / 2 + 1; // not on a key frame
    const double cut = (recorded[lastKept].seconds() + recorded[lastKept + 1].seconds()) / 2;

    const QString output = dir.filePath("take.cropped.mp4");
    const auto session = remuxSession(input, output, cut);
    ASSERT_TRUE(session);
    exportAndWait(session);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();

    EXPECT_TRUE(isPlainWithIndexFirst(testfiles::topLevelBoxes(output)));
    const QList<samples::Sample> kept = samples::encoded(output, "video_0");
    EXPECT_EQ(kept.size(), lastKept + 1);
    EXPECT_TRUE(isCopyOf(kept, recorded));
    const QList<samples::Sample> sound = samples::encoded(output, "audio_0");
    ASSERT_FALSE(sound.isEmpty());
    const double soundFrame = double(recordedSound.first().duration) / GST_SECOND;
    EXPECT_LT(sound.last().seconds(), cut);
    EXPECT_NEAR(sound.last().endSeconds(), cut, soundFrame);
    // A take's sound may start a sample after 0; the copy's time scale rounds that.
    EXPECT_TRUE(isCopyOf(sound, recordedSound, GST_MSECOND));

    const samples::Pictures pictures = samples::decoded(output);
    EXPECT_TRUE(pictures.error.isEmpty()) << pictures.error.toStdString();
    EXPECT_EQ(pictures.count, lastKept + 1);
    EXPECT_EQ(pictures.last.size(), QSize(480, 480));
}

TEST(ExportSession, FailuresReportOnceWithADescription)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("in.mp4");
    ASSERT_TRUE(testfiles::writeVideo(input, fragmentedClip()));

    // A folder in the way of the output file.
    const QString blocked = dir.filePath("blocked.mp4");
    ASSERT_TRUE(QDir().mkpath(blocked));
    const auto session = remuxSession(input, blocked);
    ASSERT_TRUE(session);
    EXPECT_EQ(exportAndWait(session), 1);
    EXPECT_EQ(session->status(), ExportSession::Status::failed);
    ASSERT_TRUE(session->errorDescription());
    EXPECT_FALSE(session->errorDescription()->isEmpty());

    const auto missingFolder = remuxSession(input, dir.filePath("no/such/folder/out.mp4"));
    ASSERT_TRUE(missingFolder);
    EXPECT_EQ(exportAndWait(missingFolder), 1);
    EXPECT_EQ(missingFolder->status(), ExportSession::Status::failed);

    // Sound that is not AAC would need an encoder: the remux refuses it.
    testfiles::VideoSpec mp3 = fragmentedClip();
    mp3.audioEncoder = "lamemp3enc";
    const QString withMp3 = dir.filePath("mp3.mp4");
    ASSERT_TRUE(testfiles::writeVideo(withMp3, mp3));
    const auto refused = remuxSession(withMp3, dir.filePath("mp3-out.mp4"));
    ASSERT_TRUE(refused);
    exportAndWait(refused);
    EXPECT_EQ(refused->status(), ExportSession::Status::failed);
    EXPECT_TRUE(refused->errorDescription().value_or("").contains("AAC"));
}

TEST(ExportSession, NoSessionForFilesWithoutPicture)
{
    QTemporaryDir dir;
    const QString sound = dir.filePath("sound.mp4");
    ASSERT_TRUE(testfiles::writeSoundOnly(sound, 0.3));
    EXPECT_FALSE(ExportSession::make(MediaAsset(sound)));
    EXPECT_FALSE(ExportSession::make(MediaAsset(dir.filePath("missing.mp4"))));
}

TEST(ExportSession, CancelledExportSaysSo)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("in.mp4");
    ASSERT_TRUE(testfiles::writeVideo(input, fragmentedClip()));
    const auto session = remuxSession(input, dir.filePath("out.mp4"));
    ASSERT_TRUE(session);
    session->cancelExport();
    EXPECT_EQ(exportAndWait(session), 1);
    EXPECT_EQ(session->status(), ExportSession::Status::cancelled);
}

// Runs only as the child of the test below: a machine without any encoder.
TEST(ExportWithoutEncoders, DISABLED_Child)
{
    const QString folder = qEnvironmentVariable(noEncodersFolderVariable);
    if (folder.isEmpty()) {
        GTEST_SKIP() << "only run by ExportSession.RemuxNeedsNoEncoder";
    }
    const QDir dir(folder);
    for (const char *plugin : {"libav", "x264", "voaacenc"}) {
        uninstallPlugin(plugin);
    }
    ASSERT_FALSE(GstPtr<GstElementFactory>(gst_element_factory_find("x264enc")));
    const auto session = remuxSession(dir.filePath("take.mp4"), dir.filePath("out.mp4"));
    ASSERT_TRUE(session);
    exportAndWait(session);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();

    // A graph built without an element of the remux fails with its name.
    uninstallPlugin("isomp4");
    EXPECT_TRUE(ExportPipeline::missingElements().contains("mp4mux"));
    ExportPipeline::Settings settings;
    settings.inputPath = dir.filePath("take.mp4");
    settings.outputPath = dir.filePath("never.mp4");
    const std::atomic<bool> notCancelled = false;
    const ExportPipeline::Result result = ExportPipeline::run(settings, notCancelled, 10000);
    EXPECT_EQ(result.outcome, ExportPipeline::Outcome::failed);
    EXPECT_TRUE(result.errorDescription.contains("mp4mux")) << result.errorDescription.toStdString();
}

TEST(ExportSession, RemuxNeedsNoEncoder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(testfiles::writeVideo(dir.filePath("take.mp4"), fragmentedClip()));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(noEncodersFolderVariable), dir.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
        {"--gtest_filter=ExportWithoutEncoders.DISABLED_Child", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(child.waitForFinished(240000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << "the child's failures are printed above";
    EXPECT_TRUE(QFile::exists(dir.filePath("out.mp4")));
}
