#include "CameraManagerTestSupport.h"
#include "MediaProbe.h"

#include "capture/TakeJournal.h"
#include "library/DatabaseManager.h"
#include "platform/desktop/AppPaths.h"
#include "platform/media/ExportPipeline.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaAssetTestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/stat.h>
#include <thread>

// A program killed in the middle of a take, and the next start that finishes
// it. The child runs this same binary with a data folder handed down, so
// that the parent reads the journal the child left behind.
namespace {
const char *folderVariable = "VELTROSCOPE_TEST_TAKE_FOLDER";
const char *dataVariable = "VELTROSCOPE_TEST_TAKE_DATA_HOME";
constexpr int processingTimeoutMs = 120000;

QString markerIn(const QString &folder)
{
    return folder + QStringLiteral("/child-ready");
}

// In the child: use the parent's data folder before anything looks it up.
bool takeOverParentsDataFolder()
{
    const QByteArray dataHome = qgetenv(dataVariable);
    if (dataHome.isEmpty()) {
        return false;
    }
    qputenv("XDG_DATA_HOME", dataHome);
    return true;
}

// The marker names the child's private home, which a killed child cannot
// clear away itself.
void signalReady(const QString &folder)
{
    QFile marker(markerIn(folder) + ".part");
    marker.open(QIODevice::WriteOnly);
    marker.write(QDir::homePath().toUtf8());
    marker.close();
    marker.rename(markerIn(folder));
}

// Starts the child test, waits for it to say it is ready and kills it.
// Starts a take, tells the parent once a few fragments (a key frame among
// them) are on disk, and records on until it is killed.
void recordUntilKilled(CameraManager &manager, const QString &folder)
{
    manager.startRecording();
    ASSERT_TRUE(manager.currentRecordingURL());
    const QString path = *manager.currentRecordingURL();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return QFileInfo(path).size() > 64 * 1024; }, 60000));
    MainLoop::spin(1500);
    signalReady(folder);
    MainLoop::spin(60000);
}

void runAndKill(const char *childTest, const QString &folder)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(folderVariable), folder);
    environment.insert(QString::fromLatin1(dataVariable), qEnvironmentVariable("XDG_DATA_HOME"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=") + QString::fromLatin1(childTest), "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForStarted());
    const bool isReady = MainLoop::waitUntil([&] { return QFile::exists(markerIn(folder)); }, 90000);
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    ASSERT_TRUE(isReady) << "the child never got ready";
    QFile marker(markerIn(folder));
    ASSERT_TRUE(marker.open(QIODevice::ReadOnly));
    const QString childHome = QString::fromUtf8(marker.readAll());
    marker.close();
    marker.remove();
    if (childHome.startsWith(QDir::tempPath() + "/veltroscope-test-")) {
        QDir(childHome).removeRecursively();
    }
}

// The next start: a manager without devices finishes what the journal holds.
std::unique_ptr<CameraManager> nextStart()
{
    auto manager = std::make_unique<CameraManager>(
        std::make_shared<StaticDeviceProvider>(), std::make_shared<FixedCapturePermissions>(true, true));
    manager->processUnfinishedTakes();
    return manager;
}

bool waitForVideos(qsizetype count)
{
    return MainLoop::waitUntil(
        [count] { return DatabaseManager::shared().videos().size() >= count; }, processingTimeoutMs);
}
} // namespace

TEST(TakeJournalKill, DISABLED_ChildRecordsUntilKilled)
{
    if (!takeOverParentsDataFolder()) {
        GTEST_SKIP() << "only run by TakeJournalKill.TakeKilledWhileRecordingIsFinishedAtTheNextStart";
    }
    const QString folder = qEnvironmentVariable(folderVariable);
    LogCapture log;
    CameraManager manager(
        TestDevices::provider({TestDevices::camera("Pattern", "test:pattern")}), TestDevices::permissions());
    ASSERT_TRUE(CameraManagerTest::waitForSetup(log));
    ASSERT_TRUE(CameraManagerTest::waitForPreview(manager));
    manager.setSaveFolder(folder);
    manager.configureResolution(VideoResolution::p720, VideoAspectRatio::ratio1x1);
    recordUntilKilled(manager, folder);
}

TEST(TakeJournalKill, TakeKilledWhileRecordingIsFinishedAtTheNextStart)
{
    QTemporaryDir folder;
    runAndKill("TakeJournalKill.DISABLED_ChildRecordsUntilKilled", folder.path());
    const QList<TakeJournal::Entry> left = TakeJournal::shared().entries();
    ASSERT_EQ(left.size(), 1);
    const QString path = left.first().path;
    EXPECT_EQ(left.first().aspectRatio, VideoAspectRatio::ratio1x1);
    ASSERT_TRUE(QFileInfo(path).isFile());

    LogCapture log;
    auto manager = nextStart();
    ASSERT_TRUE(waitForVideos(1));
    MainLoop::drain();

    EXPECT_TRUE(log.contains("⚠️ 继续处理上次未完成的录制: " + path));
    EXPECT_TRUE(log.contains("✅ 录制完成: " + path));
    EXPECT_TRUE(log.contains("✂️ 已按比例 1.0 裁剪视频")) << log.lines().join('\n').toStdString();
    // Recorded at its ratio, now a plain file that plays.
    const MediaProbe probe = MediaProbe::read(path);
    EXPECT_TRUE(probe.decodeError.isEmpty()) << probe.decodeError.toStdString();
    EXPECT_GT(probe.decodedVideoFrames, 10);
    EXPECT_EQ(QSize(probe.width, probe.height), QSize(720, 720));
    const QStringList boxes = testfiles::topLevelBoxes(path);
    EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat")) << boxes.join(',').toStdString();
    EXPECT_FALSE(boxes.contains("moof"));
    EXPECT_EQ(DatabaseManager::shared().videos().first().filePath, path);
    const QString thumbnail = AppPaths::thumbnailsFolder() + "/" + QFileInfo(path).completeBaseName() + ".png";
    EXPECT_EQ(QImage(thumbnail).size(), QSize(320, 320));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
    EXPECT_TRUE(TakeJournal::shared().entries().isEmpty());
}

TEST(TakeJournalKill, DISABLED_ChildRemuxesUntilKilled)
{
    if (!takeOverParentsDataFolder()) {
        GTEST_SKIP() << "only run by TakeJournalKill.TakeKilledWhileRemuxingIsFinishedAtTheNextStart";
    }
    const QString folder = qEnvironmentVariable(folderVariable);
    LogCapture log;
    CameraManager manager(
        TestDevices::provider({TestDevices::camera("Pattern", "test:pattern")}), TestDevices::permissions());
    ASSERT_TRUE(CameraManagerTest::waitForSetup(log));
    ASSERT_TRUE(CameraManagerTest::waitForPreview(manager));
    manager.setSaveFolder(folder);
    manager.configureResolution(VideoResolution::p720, VideoAspectRatio::ratio1x1);
    manager.startRecording();
    ASSERT_TRUE(manager.currentRecordingURL());
    const QString path = *manager.currentRecordingURL();
    // The muxer's scratch file is a pipe nobody reads: the remux blocks once
    // it is full, so the kill finds it mid-way however fast the machine is.
    const QString exportPath = folder + "/" + QFileInfo(path).completeBaseName() + ".cropped.mp4";
    ASSERT_EQ(::mkfifo(QFile::encodeName(ExportPipeline::scratchPath(exportPath)).constData(), 0600), 0);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return QFileInfo(path).size() > 128 * 1024; }, 60000));
    manager.stopRecording();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return QFile::exists(exportPath); }, 60000));
    MainLoop::spin(500);
    signalReady(folder);
    MainLoop::spin(60000);
}

TEST(TakeJournalKill, TakeKilledWhileRemuxingIsFinishedAtTheNextStart)
{
    QTemporaryDir folder;
    runAndKill("TakeJournalKill.DISABLED_ChildRemuxesUntilKilled", folder.path());
    const QList<TakeJournal::Entry> left = TakeJournal::shared().entries();
    ASSERT_EQ(left.size(), 1);
    const QString path = left.first().path;
    EXPECT_TRUE(left.first().isCropped);
    const QString exportPath = folder.filePath(QFileInfo(path).completeBaseName() + ".cropped.mp4");
    EXPECT_TRUE(QFile::exists(exportPath));
    EXPECT_TRUE(QFileInfo(ExportPipeline::scratchPath(exportPath)).exists());
    EXPECT_TRUE(testfiles::topLevelBoxes(path).contains("moof")) << "the recording is still as recorded";

    LogCapture log;
    auto manager = nextStart();
    ASSERT_TRUE(waitForVideos(1));
    MainLoop::drain();

    EXPECT_TRUE(log.contains("✂️ 已按比例 1.0 裁剪视频")) << log.lines().join('\n').toStdString();
    const MediaProbe probe = MediaProbe::read(path);
    EXPECT_TRUE(probe.decodeError.isEmpty()) << probe.decodeError.toStdString();
    EXPECT_GT(probe.decodedVideoFrames, 10);
    EXPECT_EQ(QSize(probe.width, probe.height), QSize(720, 720));
    const QStringList boxes = testfiles::topLevelBoxes(path);
    EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat")) << boxes.join(',').toStdString();
    EXPECT_FALSE(boxes.contains("moof"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::System), QStringList{QFileInfo(path).fileName()});
    EXPECT_EQ(DatabaseManager::shared().videos().first().filePath, path);
    EXPECT_TRUE(TakeJournal::shared().entries().isEmpty());
}

TEST(TakeJournalKill, DISABLED_ChildStartsTheNextTakeBeforeTheFirstIsProcessed)
{
    if (!takeOverParentsDataFolder()) {
        GTEST_SKIP() << "only run by TakeJournalKill.KilledBeforeTheFirstOfTwoTakesIsProcessedEachKeepsItsRatio";
    }
    const QString folder = qEnvironmentVariable(folderVariable);
    LogCapture log;
    CameraManager manager(
        TestDevices::provider({TestDevices::camera("Pattern", "test:pattern")}), TestDevices::permissions());
    ASSERT_TRUE(CameraManagerTest::waitForSetup(log));
    ASSERT_TRUE(CameraManagerTest::waitForPreview(manager));
    manager.setSaveFolder(folder);
    // The first take's report never arrives: the kill comes first.
    std::atomic<bool> held = false;
    manager.setFinishedReportGate([&held](std::function<void()> deliver) {
        if (held.exchange(true)) {
            deliver();
        }
    });
    const QString first
        = CameraManagerTest::recordTake(manager, VideoResolution::p720, VideoAspectRatio::ratio16x9, 1000);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return held.load(); }, 10000));
    MainLoop::spin(1100); // a name of its own
    manager.configureResolution(VideoResolution::p720, VideoAspectRatio::ratio9x16);
    recordUntilKilled(manager, folder);
}

TEST(TakeJournalKill, KilledBeforeTheFirstOfTwoTakesIsProcessedEachKeepsItsRatio)
{
    QTemporaryDir folder;
    runAndKill("TakeJournalKill.DISABLED_ChildStartsTheNextTakeBeforeTheFirstIsProcessed", folder.path());
    const QList<TakeJournal::Entry> left = TakeJournal::shared().entries();
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(left.at(0).aspectRatio, VideoAspectRatio::ratio16x9);
    EXPECT_EQ(left.at(1).aspectRatio, VideoAspectRatio::ratio9x16);

    LogCapture log;
    auto manager = nextStart();
    manager->configureResolution(VideoResolution::p1080, VideoAspectRatio::ratio1x1); // decides neither
    ASSERT_TRUE(waitForVideos(2));
    MainLoop::drain();
    EXPECT_EQ(MediaAsset(left.at(0).path).tracks(MediaType::video).first().naturalSize, QSizeF(1280, 720));
    const QSizeF second = MediaAsset(left.at(1).path).tracks(MediaType::video).first().naturalSize;
    EXPECT_NEAR(second.width(), 405, 1) << "9:16 of 720, as the encoder rounds it";
    EXPECT_EQ(second.height(), 720);
    EXPECT_FALSE(log.contains("✂️ 已按比例 1.0 裁剪视频"));
    EXPECT_TRUE(TakeJournal::shared().entries().isEmpty());
}
