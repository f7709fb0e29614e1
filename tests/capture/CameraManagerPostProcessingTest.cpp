#include "capture/CameraManager.h"

#include "capture/TakeJournal.h"
#include "library/DatabaseManager.h"
#include "platform/Log.h"
#include "platform/desktop/AppPaths.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaAssetTestFiles.h"
#include "platform/media/StaticDeviceProvider.h"
#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <QProcess>

#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

// Readable failure messages for paths and log lines.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << text.toStdString();
}

namespace {
constexpr int processingTimeoutMs = 120000;

// The lines of the processing, without the manager's start-up and the store's.
QStringList processingLines(const LogCapture &log)
{
    QStringList lines;
    for (const QString &line : log.lines()) {
        if (line.startsWith("✅ 录制完成") || line.startsWith("⚠️ 录制结束") || line.startsWith("✂️")
            || line.startsWith("❌")) {
            lines << line;
        }
    }
    return lines;
}

std::unique_ptr<CameraManager> managerCroppingTo(VideoAspectRatio ratio)
{
    auto manager = std::make_unique<CameraManager>(
        std::make_shared<StaticDeviceProvider>(), std::make_shared<FixedCapturePermissions>(true, true));
    manager->configureResolution(VideoResolution::p1080, ratio);
    return manager;
}

// The capture layer reports from a thread of its own, with the ratio the
// take was started with.
void reportFinished(CameraManager &manager, const QString &path, const std::optional<QString> &error = std::nullopt)
{
    std::thread([&] { manager.fileOutputDidFinishRecording(path, error, manager.pendingAspectRatio()); }).join();
}

bool waitForVideos(qsizetype count)
{
    return MainLoop::waitUntil(
        [count] { return DatabaseManager::shared().videos().size() >= count; }, processingTimeoutMs);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString thumbnailFor(const QString &baseName)
{
    return AppPaths::thumbnailsFolder() + "/" + baseName + ".png";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The number of a process that has ended, as a crashed run leaves in the journal.
qint64 endedProcessId()
{
    QProcess process;
    process.start("true", {});
    process.waitForFinished();
    return process.processId();
}

// A take as the capture layer writes it: fragmented, already at its size.
testfiles::VideoSpec recording(QSize size, double seconds, bool hasAudio = true)
{
    testfiles::VideoSpec clip;
    clip.size = size;
    clip.frameCount = int(seconds * clip.framesPerSecond);
    clip.hasAudio = hasAudio;
    clip.isFragmented = true;
    return clip;
}

// Listed as the recording start lists it, cut to its ratio while recorded.
void noteCroppedTake(const QString &path, VideoAspectRatio ratio)
{
    TakeJournal::shared().noteStarted(path, ratio);
    TakeJournal::shared().noteCropped(path);
}

bool isPlainWithIndexFirst(const QString &path)
{
    const QStringList boxes = testfiles::topLevelBoxes(path);
    return boxes.indexOf("moov") >= 0 && boxes.indexOf("moov") < boxes.indexOf("mdat") && !boxes.contains("moof");
}
} // namespace

TEST(CameraManagerPostProcessing, ACroppedTakeBecomesAPlainFileInPlace)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("20250303_140509.mp4");
    ASSERT_TRUE(testfiles::writeVideo(path, recording({1080, 1080}, 3.0)));
    noteCroppedTake(path, VideoAspectRatio::ratio1x1);
    LogCapture log;
    auto manager = managerCroppingTo(VideoAspectRatio::ratio1x1);

    reportFinished(*manager, path);
    ASSERT_TRUE(waitForVideos(1));

    EXPECT_EQ(processingLines(log), QStringList({"✅ 录制完成: " + path, "✂️ 已按比例 1.0 裁剪视频"}));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"20250303_140509.mp4"});
    const MediaAsset final(path);
    const QList<MediaTrack> video = final.tracks(MediaType::video);
    ASSERT_EQ(video.size(), 1);
    EXPECT_EQ(video.first().naturalSize, QSizeF(1080, 1080));
    EXPECT_DOUBLE_EQ(video.first().nominalFrameRate, 30.0);
    EXPECT_EQ(final.tracks(MediaType::audio).size(), 1);
    EXPECT_NEAR(final.durationSeconds(), 3.0, 0.15);
    EXPECT_TRUE(isPlainWithIndexFirst(path)) << testfiles::topLevelBoxes(path).join(',').toStdString();

    const VideoRecord &row = DatabaseManager::shared().videos().first();
    EXPECT_EQ(row.fileName, "20250303_140509.mp4");
    EXPECT_EQ(row.filePath, path);
    EXPECT_EQ(row.thumbnailPath, thumbnailFor("20250303_140509"));
    const QImage thumbnail(thumbnailFor("20250303_140509"), "PNG");
    EXPECT_EQ(thumbnail.size(), QSize(320, 320));
}

TEST(CameraManagerPostProcessing, SeveralTakesAtOnceEachKeepTheirOwnNamesAndOnlyCroppedOnesSaySo)
{
    QTemporaryDir folder;
    const QString fourByThree = folder.filePath("20250303_140509.mp4");
    const QString wide = folder.filePath("20250303_140600.mp4");
    // A 4:3 camera's take cut to 16:9, and a 16:9 camera's, recorded whole.
    ASSERT_TRUE(testfiles::writeVideo(fourByThree, recording({640, 360}, 1.0)));
    noteCroppedTake(fourByThree, VideoAspectRatio::ratio16x9);
    ASSERT_TRUE(testfiles::writeVideo(wide, recording({1280, 720}, 1.0)));
    TakeJournal::shared().noteStarted(wide, VideoAspectRatio::ratio16x9);
    LogCapture log;
    auto manager = managerCroppingTo(VideoAspectRatio::ratio16x9);

    std::thread first(
        [&] { manager->fileOutputDidFinishRecording(fourByThree, std::nullopt, VideoAspectRatio::ratio16x9); });
    std::thread second([&] { manager->fileOutputDidFinishRecording(wide, std::nullopt, VideoAspectRatio::ratio16x9); });
    first.join();
    second.join();
    ASSERT_TRUE(waitForVideos(2));

    EXPECT_EQ(log.count("✂️ 已按比例 1.7777777777777777 裁剪视频"), 1);
    EXPECT_EQ(MediaAsset(fourByThree).tracks(MediaType::video).first().naturalSize, QSizeF(640, 360));
    EXPECT_EQ(MediaAsset(wide).tracks(MediaType::video).first().naturalSize, QSizeF(1280, 720));
    EXPECT_TRUE(isPlainWithIndexFirst(fourByThree));
    EXPECT_TRUE(isPlainWithIndexFirst(wide));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"20250303_140509.mp4", "20250303_140600.mp4"}));
    QStringList paths;
    for (const VideoRecord &row : DatabaseManager::shared().videos()) {
        paths << row.filePath;
    }
    paths.sort();
    EXPECT_EQ(paths, QStringList({fourByThree, wide}));
    EXPECT_EQ(QImage(thumbnailFor("20250303_140509")).size(), QSize(320, 180));
    EXPECT_EQ(QImage(thumbnailFor("20250303_140600")).size(), QSize(320, 180));
    EXPECT_TRUE(TakeJournal::shared().entries().isEmpty());
}

TEST(CameraManagerPostProcessing, FileWithoutPictureIsAddedUncropped)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("sound.mp4");
    ASSERT_TRUE(testfiles::writeSoundOnly(path, 1.0));
    const QByteArray before = contents(path);
    LogCapture log;
    auto manager = managerCroppingTo(VideoAspectRatio::ratio1x1);

    reportFinished(*manager, path);
    ASSERT_TRUE(waitForVideos(1));

    const QStringList lines = processingLines(log);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "✅ 录制完成: " + path);
    EXPECT_EQ(lines[1], "❌ 视频中没有视频轨道");
    EXPECT_TRUE(lines[2].startsWith("❌ 生成缩略图失败: ")) << lines[2].toStdString();
    EXPECT_EQ(contents(path), before);
    const VideoRecord &row = DatabaseManager::shared().videos().first();
    EXPECT_EQ(row.filePath, path);
    // The path is stored even though no picture was written.
    EXPECT_EQ(row.thumbnailPath, thumbnailFor("sound"));
    EXPECT_FALSE(QFile::exists(thumbnailFor("sound")));
}

TEST(CameraManagerPostProcessing, CorruptFileWithReportedErrorIsAddedUntouched)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("broken.mp4");
    QByteArray garbage(64 * 1024, '\0');
    for (qsizetype i = 0; i < garbage.size(); ++i) {
        garbage[i] = char((i * 7919) % 251);
    }
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromHex("0000001866747970") + garbage); // looks like MPEG-4 at first
    }
    const QByteArray before = contents(path);
    LogCapture log;
    auto manager = managerCroppingTo(VideoAspectRatio::ratio4x3);

    reportFinished(*manager, path, QStringLiteral("磁盘已满"));
    ASSERT_TRUE(waitForVideos(1));

    const QStringList lines = processingLines(log);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "⚠️ 录制结束: 磁盘已满");
    EXPECT_EQ(lines[1], "✅ 录制完成: " + path);
    EXPECT_EQ(lines[2], "❌ 视频中没有视频轨道");
    EXPECT_EQ(contents(path), before);
    EXPECT_EQ(DatabaseManager::shared().videos().first().filePath, path);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"broken.mp4"});
}

TEST(CameraManagerPostProcessing, FailedExportLeavesTheRecordingIntact)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("take.mp4");
    ASSERT_TRUE(testfiles::writeVideo(path, recording({640, 360}, 0.7)));
    noteCroppedTake(path, VideoAspectRatio::ratio16x9);
    const QByteArray before = contents(path);
    // Something the export cannot write over sits at its temporary name.
    ASSERT_TRUE(QDir().mkpath(folder.filePath("take.cropped.mp4")));
    LogCapture log;
    auto manager = managerCroppingTo(VideoAspectRatio::ratio1x1);

    reportFinished(*manager, path);
    ASSERT_TRUE(waitForVideos(1));

    EXPECT_EQ(log.linesStartingWith("❌ 视频裁剪失败: ").size(), 1) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(log.linesStartingWith("✂️").isEmpty());
    EXPECT_EQ(contents(path), before);
    EXPECT_EQ(DatabaseManager::shared().videos().first().filePath, path);
    EXPECT_EQ(QImage(thumbnailFor("take")).size(), QSize(320, 180));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"take.mp4"});
}

TEST(CameraManagerPostProcessing, NothingIsSavedOnceTheManagerIsGone)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("late.mp4");
    ASSERT_TRUE(testfiles::writeVideo(path, recording({480, 480}, 1.0)));
    LogCapture log;
    auto manager = managerCroppingTo(VideoAspectRatio::ratio1x1);

    reportFinished(*manager, path);
    // Going away stops the processing, with a bounded wait, wherever it was.
    manager.reset();
    MainLoop::spin(300);
    MainLoop::drain();

    EXPECT_TRUE(DatabaseManager::shared().videos().isEmpty());
    EXPECT_FALSE(QFile::exists(thumbnailFor("late")));
    // The recording is whole: as recorded, or remuxed if that was quicker.
    const QList<MediaTrack> video = MediaAsset(path).tracks(MediaType::video);
    ASSERT_EQ(video.size(), 1);
    EXPECT_EQ(video.first().naturalSize, QSizeF(480, 480));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"late.mp4"});
}

TEST(CameraManagerPostProcessing, ReportOfAFileThatWasNeverWrittenAddsNothing)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("never.mp4");
    LogCapture log;
    auto manager = managerCroppingTo(VideoAspectRatio::ratio1x1);

    reportFinished(*manager, path, QStringLiteral("无法写入"));
    MainLoop::spin(300);
    MainLoop::drain();

    EXPECT_EQ(processingLines(log), QStringList({"⚠️ 录制结束: 无法写入", "❌ 录制文件不存在: " + path}));
    EXPECT_TRUE(DatabaseManager::shared().videos().isEmpty());
    EXPECT_FALSE(QFile::exists(thumbnailFor("never")));
}

TEST(CameraManagerPostProcessing, ProcessingRunsOffTheCaptureServicesThread)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("sound.mp4");
    ASSERT_TRUE(testfiles::writeSoundOnly(path, 0.5));
    auto manager = managerCroppingTo(VideoAspectRatio::ratio1x1);

    // Which thread wrote each line: the report's own lines come from the
    // capture thread, the crop's and thumbnail's must not.
    std::mutex mutex;
    std::map<QString, std::thread::id> threads;
    Log::setObserver([&](const QString &line) {
        std::lock_guard lock(mutex);
        threads.emplace(line.section(':', 0, 0), std::this_thread::get_id());
    });
    std::thread::id captureThread;
    std::thread([&] {
        captureThread = std::this_thread::get_id();
        manager->fileOutputDidFinishRecording(path, std::nullopt, VideoAspectRatio::ratio1x1);
    }).join();
    const bool isProcessed = waitForVideos(1);
    Log::setObserver({});
    ASSERT_TRUE(isProcessed);

    std::lock_guard lock(mutex);
    ASSERT_EQ(threads.count("✅ 录制完成"), 1u);
    ASSERT_EQ(threads.count("❌ 视频中没有视频轨道"), 1u);
    ASSERT_EQ(threads.count("❌ 生成缩略图失败"), 1u);
    EXPECT_EQ(threads["✅ 录制完成"], captureThread);
    EXPECT_NE(threads["❌ 视频中没有视频轨道"], captureThread);
    EXPECT_NE(threads["❌ 生成缩略图失败"], captureThread);
}

TEST(CameraManagerPostProcessing, TakeLeavesTheJournalWhenItsRowIsAdded)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("take.mp4");
    const QString never = folder.filePath("never.mp4");
    ASSERT_TRUE(testfiles::writeVideo(path, recording({640, 360}, 0.5)));
    TakeJournal &journal = TakeJournal::shared();
    journal.noteStarted(path, VideoAspectRatio::ratio16x9);
    journal.noteStarted(never, VideoAspectRatio::ratio16x9);
    auto manager = managerCroppingTo(VideoAspectRatio::ratio16x9);

    reportFinished(*manager, never, QStringLiteral("无法写入"));
    reportFinished(*manager, path);
    ASSERT_EQ(journal.entries().size(), 1) << "a take without a file has nothing left to finish";
    ASSERT_TRUE(waitForVideos(1));
    EXPECT_TRUE(journal.entries().isEmpty());
}

TEST(CameraManagerPostProcessing, TakesLeftUnfinishedAreFinishedAtTheNextStart)
{
    QTemporaryDir folder;
    // Killed while its remux was being written: the half-written file and the
    // muxer's scratch file lie beside it.
    const QString cutOff = folder.filePath("20250303_140509.mp4");
    ASSERT_TRUE(testfiles::writeVideo(cutOff, recording({480, 480}, 1.0)));
    ASSERT_TRUE(writeFile(folder.filePath("20250303_140509.cropped.mp4"), QByteArray(1000, 'x')));
    ASSERT_TRUE(writeFile(folder.filePath("20250303_140509.cropped.mp4.mdat"), QByteArray(5000, 'y')));
    // Its recording is gone; what lies at the export's name may be all that is left.
    const QString lost = folder.filePath("20250303_150000.mp4");
    ASSERT_TRUE(writeFile(folder.filePath("20250303_150000.cropped.mp4"), QByteArray(1000, 'z')));
    const qint64 ended = endedProcessId();
    {
        QFile file(TakeJournal::shared().filePath());
        QDir().mkpath(QFileInfo(file).absolutePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({"takes": [{"path": "%1", "aspectRatio": "1:1", "pid": %3, "cropped": true},
                                               {"path": "%2", "aspectRatio": "1:1", "pid": %3}]})")
                       .arg(cutOff, lost)
                       .arg(ended)
                       .toUtf8());
    }
    LogCapture log;
    // The ratio the screen holds now does not matter: the journal's does.
    auto manager = managerCroppingTo(VideoAspectRatio::ratio16x9);

    manager->processUnfinishedTakes();
    manager->processUnfinishedTakes(); // a second call finds nothing new
    ASSERT_TRUE(waitForVideos(1));
    ASSERT_TRUE(manager->waitForPostProcessing(processingTimeoutMs));
    MainLoop::drain();

    EXPECT_EQ(log.linesStartingWith("⚠️ 继续处理上次未完成的录制: "),
        QStringList({"⚠️ 继续处理上次未完成的录制: " + cutOff,
            "⚠️ 继续处理上次未完成的录制: " + lost}));
    EXPECT_EQ(processingLines(log),
        QStringList({"✅ 录制完成: " + cutOff, "❌ 录制文件不存在: " + lost, "✂️ 已按比例 1.0 裁剪视频"}));
    EXPECT_EQ(MediaAsset(cutOff).tracks(MediaType::video).first().naturalSize, QSizeF(480, 480));
    EXPECT_TRUE(isPlainWithIndexFirst(cutOff));
    EXPECT_EQ(QImage(thumbnailFor("20250303_140509")).size(), QSize(320, 320));
    ASSERT_EQ(DatabaseManager::shared().videos().size(), 1);
    EXPECT_EQ(DatabaseManager::shared().videos().first().filePath, cutOff);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
        QStringList({"20250303_140509.mp4", "20250303_150000.cropped.mp4"}));
    EXPECT_TRUE(TakeJournal::shared().entries().isEmpty());
}

TEST(CameraManagerPostProcessing, ThumbnailsFromSeveralThreadsAtOnce)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("wide.mp4");
    ASSERT_TRUE(testfiles::writeVideo(path, recording({640, 360}, 1.0, false)));
    std::vector<std::optional<QImage>> thumbnails(3);
    std::vector<std::thread> threads;
    for (auto &thumbnail : thumbnails) {
        threads.emplace_back([&] { thumbnail = CameraManager::generateThumbnail(path); });
    }
    for (auto &thread : threads) {
        thread.join();
    }
    for (const auto &thumbnail : thumbnails) {
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->size(), QSize(320, 180));
    }
}
