#include "platform/media/ExportSession.h"

#include "capture/MediaProbe.h"
#include "platform/media/ExportPipeline.h"
#include "platform/media/GstPtr.h"
#include "platform/media/ImageGenerator.h"
#include "platform/media/MediaAssetTestFiles.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
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

const char *noLibavFolderVariable = "VELTROSCOPE_TEST_NO_LIBAV_FOLDER";

std::shared_ptr<ExportSession> cropSession(const QString &input, const QString &output, const QRectF &crop)
{
    auto session = ExportSession::make(MediaAsset(input));
    if (session) {
        session->setOutputPath(output);
        session->setVideoComposition(VideoComposition{crop, 1, 30});
        session->setShouldOptimizeForNetworkUse(true);
    }
    return session;
}
} // namespace

TEST(ExportSession, CropsToThirtyFramesKeepsSoundAndPutsTheIndexFirst)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("in.mp4");
    testfiles::VideoSpec clip;
    clip.size = {320, 180};
    clip.frameCount = 25;
    clip.framesPerSecond = 25; // the export must change it to 30
    ASSERT_TRUE(testfiles::writeVideo(input, clip));

    const QString output = dir.filePath("out.mp4");
    const auto session = cropSession(input, output, QRectF(70, 0, 180, 180));
    ASSERT_TRUE(session);
    std::thread::id completionThread;
    EXPECT_EQ(exportAndWait(session, &completionThread), 1);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();
    EXPECT_FALSE(session->errorDescription());
    EXPECT_NE(completionThread, std::this_thread::get_id());

    const MediaAsset result(output);
    const QList<MediaTrack> video = result.tracks(MediaType::video);
    ASSERT_EQ(video.size(), 1);
    EXPECT_EQ(video.first().naturalSize, QSizeF(180, 180));
    EXPECT_DOUBLE_EQ(video.first().nominalFrameRate, 30.0);
    EXPECT_EQ(result.tracks(MediaType::audio).size(), 1);
    EXPECT_NEAR(result.durationSeconds(), 1.0, 0.1);
    const QStringList boxes = testfiles::topLevelBoxes(output);
    ASSERT_TRUE(boxes.contains("moov") && boxes.contains("mdat")) << boxes.join(',').toStdString();
    EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat"));
    // No scratch files left beside the output.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"in.mp4", "out.mp4"}));
}

TEST(ExportSession, CropsInDisplayCoordinatesAndDoesNotTurnTwice)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("turned.mp4");
    testfiles::VideoSpec clip;
    clip.size = {320, 240}; // shown as 240 x 320
    clip.frameCount = 10;
    clip.hasAudio = false;
    clip.orientation = "rotate-90";
    // White top band of the stored picture: on screen it is the right edge.
    ASSERT_TRUE(testfiles::writeDrawnVideo(input, clip, [](int) {
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter(&image).fillRect(0, 0, 320, 40, Qt::white);
        return image;
    }));

    const QString output = dir.filePath("out.mp4");
    // Keep the right half of the upright picture.
    const auto session = cropSession(input, output, QRectF(120, 0, 120, 320));
    ASSERT_TRUE(session);
    exportAndWait(session);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();

    const QList<MediaTrack> video = MediaAsset(output).tracks(MediaType::video);
    ASSERT_EQ(video.size(), 1);
    EXPECT_EQ(video.first().naturalSize, QSizeF(120, 320));
    EXPECT_EQ(video.first().preferredTransform, DisplayTransform::identity);
    ImageGenerator generator(output);
    generator.setAppliesPreferredTrackTransform(true);
    QString error;
    const auto picture = generator.copyImage(0.1, &error);
    ASSERT_TRUE(picture) << error.toStdString();
    EXPECT_GT(qGray(picture->pixel(110, 160)), 200); // the band, at the right
    EXPECT_LT(qGray(picture->pixel(20, 160)), 50);
}

TEST(ExportSession, SoundInOtherFormatsIsReencoded)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("mp3.mp4");
    testfiles::VideoSpec clip;
    clip.size = {160, 120};
    clip.frameCount = 15;
    clip.audioEncoder = "lamemp3enc";
    ASSERT_TRUE(testfiles::writeVideo(input, clip));

    const QString output = dir.filePath("out.mp4");
    const auto session = cropSession(input, output, QRectF(20, 0, 120, 120));
    ASSERT_TRUE(session);
    exportAndWait(session);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();
    EXPECT_EQ(MediaAsset(output).tracks(MediaType::audio).size(), 1);
}

TEST(ExportSession, FailuresReportOnceWithADescription)
{
    QTemporaryDir dir;
    const QString input = dir.filePath("in.mp4");
    testfiles::VideoSpec clip;
    clip.size = {160, 120};
    clip.frameCount = 10;
    ASSERT_TRUE(testfiles::writeVideo(input, clip));

    // A folder in the way of the output file.
    const QString blocked = dir.filePath("blocked.mp4");
    ASSERT_TRUE(QDir().mkpath(blocked));
    const auto session = cropSession(input, blocked, QRectF(20, 0, 120, 120));
    ASSERT_TRUE(session);
    EXPECT_EQ(exportAndWait(session), 1);
    EXPECT_EQ(session->status(), ExportSession::Status::failed);
    ASSERT_TRUE(session->errorDescription());
    EXPECT_FALSE(session->errorDescription()->isEmpty());

    const auto missingFolder = cropSession(input, dir.filePath("no/such/folder/out.mp4"), QRectF(20, 0, 120, 120));
    ASSERT_TRUE(missingFolder);
    EXPECT_EQ(exportAndWait(missingFolder), 1);
    EXPECT_EQ(missingFolder->status(), ExportSession::Status::failed);
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
    testfiles::VideoSpec clip;
    clip.size = {640, 360};
    clip.frameCount = 300;
    clip.hasAudio = false;
    clip.pattern = "snow"; // slow to encode
    ASSERT_TRUE(testfiles::writeVideo(input, clip));

    const auto session = cropSession(input, dir.filePath("out.mp4"), QRectF(140, 0, 360, 360));
    ASSERT_TRUE(session);
    session->cancelExport();
    EXPECT_EQ(exportAndWait(session), 1);
    EXPECT_EQ(session->status(), ExportSession::Status::cancelled);
}

TEST(ExportSession, FramesBeforeTheFirstKeyFrameAreNotEncodedAsGrey)
{
    QTemporaryDir dir;
    const QString whole = dir.filePath("whole.mp4");
    testfiles::VideoSpec clip;
    clip.size = {160, 120};
    clip.frameCount = 60;
    clip.hasAudio = false;
    clip.keyFrameInterval = 30;
    // Red everywhere, with a small mark that moves so that every frame codes something.
    ASSERT_TRUE(testfiles::writeDrawnVideo(whole, clip, [](int index) {
        QImage image(160, 120, QImage::Format_RGB32);
        image.fill(QColor(220, 30, 30));
        QPainter(&image).fillRect(index * 2, 0, 8, 8, Qt::white);
        return image;
    }));
    const QString input = dir.filePath("midgop.mp4");
    ASSERT_TRUE(testfiles::writeStartingMidGop(whole, input, 10));

    const QString output = dir.filePath("out.mp4");
    const auto session = cropSession(input, output, QRectF(20, 0, 120, 120));
    ASSERT_TRUE(session);
    exportAndWait(session);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();

    // The picture keeps its place in time: the start is filled, not dropped.
    EXPECT_NEAR(MediaAsset(output).durationSeconds(), MediaAsset(input).durationSeconds(), 0.1);
    for (const double seconds : {0.0, 0.3, 1.2}) {
        QString error;
        const auto picture = ImageGenerator(output).copyImage(seconds, &error);
        ASSERT_TRUE(picture) << error.toStdString();
        const QRgb centre = picture->pixel(60, 80);
        EXPECT_GT(qRed(centre), 180) << seconds << " s";
        EXPECT_LT(qGreen(centre), 80) << seconds << " s";
    }
}

// Runs only as the child of the test below: a machine without the libav plugins.
TEST(ExportWithoutLibav, DISABLED_Child)
{
    const QString folder = qEnvironmentVariable(noLibavFolderVariable);
    if (folder.isEmpty()) {
        GTEST_SKIP() << "only run by ExportSession.CropsWithoutTheLibavPlugins";
    }
    const QDir dir(folder);
    uninstallPlugin("libav");
    ASSERT_FALSE(GstPtr<GstElementFactory>(gst_element_factory_find("avenc_aac")));

    // Other sound is encoded with the AAC encoder that is there.
    auto session = cropSession(dir.filePath("mp3.mp4"), dir.filePath("mp3-out.mp4"), QRectF(20, 0, 120, 120));
    ASSERT_TRUE(session);
    exportAndWait(session);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();
    MediaProbe probe = MediaProbe::read(dir.filePath("mp3-out.mp4"), false);
    EXPECT_EQ(probe.audioCodec, "audio/mpeg");
    EXPECT_EQ(probe.audioMpegVersion, 4);

    // With no AAC encoder at all, AAC sound is still copied.
    uninstallPlugin("voaacenc");
    session = cropSession(dir.filePath("aac.mp4"), dir.filePath("aac-out.mp4"), QRectF(20, 0, 120, 120));
    ASSERT_TRUE(session);
    exportAndWait(session);
    ASSERT_EQ(session->status(), ExportSession::Status::completed)
        << session->errorDescription().value_or("").toStdString();
    probe = MediaProbe::read(dir.filePath("aac-out.mp4"), false);
    EXPECT_EQ(probe.width, 120);
    EXPECT_EQ(probe.audioMpegVersion, 4);

    // Other sound then fails the crop, naming what is missing.
    LogCapture log;
    session = cropSession(dir.filePath("mp3.mp4"), dir.filePath("mp3-lost.mp4"), QRectF(20, 0, 120, 120));
    ASSERT_TRUE(session);
    exportAndWait(session);
    EXPECT_EQ(session->status(), ExportSession::Status::failed);
    EXPECT_TRUE(session->errorDescription().value_or("").contains("avenc_aac"));
    EXPECT_TRUE(log.contains("❌ 缺少 GStreamer 组件: avenc_aac")) << log.lines().join('\n').toStdString();

    // A missing picture element is named before any export starts, and a
    // graph built without it fails with its name.
    uninstallPlugin("x264");
    EXPECT_FALSE(ExportSession::make(MediaAsset(dir.filePath("aac.mp4"))));
    EXPECT_TRUE(log.contains("❌ 缺少 GStreamer 组件: x264enc")) << log.lines().join('\n').toStdString();
    ExportPipeline::Settings settings;
    settings.inputPath = dir.filePath("aac.mp4");
    settings.outputPath = dir.filePath("never.mp4");
    settings.displaySize = {160, 120};
    settings.cropRect = {20, 0, 120, 120};
    const std::atomic<bool> notCancelled = false;
    const ExportPipeline::Result result = ExportPipeline::run(settings, notCancelled, 10000);
    EXPECT_EQ(result.outcome, ExportPipeline::Outcome::failed);
    EXPECT_TRUE(result.errorDescription.contains("x264enc")) << result.errorDescription.toStdString();
}

TEST(ExportSession, CropsWithoutTheLibavPlugins)
{
    QTemporaryDir dir;
    testfiles::VideoSpec clip;
    clip.size = {160, 120};
    clip.frameCount = 15;
    ASSERT_TRUE(testfiles::writeVideo(dir.filePath("aac.mp4"), clip));
    clip.audioEncoder = "lamemp3enc";
    ASSERT_TRUE(testfiles::writeVideo(dir.filePath("mp3.mp4"), clip));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(noLibavFolderVariable), dir.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
        {"--gtest_filter=ExportWithoutLibav.DISABLED_Child", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(child.waitForFinished(240000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << "the child's failures are printed above";
    EXPECT_TRUE(QFile::exists(dir.filePath("aac-out.mp4")));
}
