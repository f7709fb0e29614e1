#include "app/MainWindow.h"
#include "app/VeltroscopeApp.h"
#include "capture/CameraManager.h"
#include "capture/TakeJournal.h"
#include "library/DatabaseManager.h"
#include "platform/media/ExportPipeline.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/StaticDeviceProvider.h"
#include "ui/recording/RecordingView.h"
#include "ui/scripts/ScriptsListView.h"

#include "platform/media/MediaAssetTestFiles.h"
#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
std::unique_ptr<CameraManager> managerWithoutDevices()
{
    return std::make_unique<CameraManager>(
        std::make_shared<StaticDeviceProvider>(), std::make_shared<FixedCapturePermissions>(true, true));
}

class Shell : public testing::Test {
protected:
    // No camera on a test machine: the shell is tested without devices.
    Shell()
        : app(std::make_unique<CameraManager>(
            std::make_shared<StaticDeviceProvider>(), std::make_shared<FixedCapturePermissions>(true, true)))
    {
        window = app.window();
        window->show();
        MainLoop::drain();
    }

    void selectTab(int index)
    {
        window->tabs()->setCurrentIndex(index);
        MainLoop::drain();
    }

    VeltroscopeApp app;
    MainWindow *window = nullptr;
};
} // namespace

TEST_F(Shell, FourTabsInOrderWithLabelsAndIcons)
{
    QTabWidget *tabs = window->tabs();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), "录制");
    EXPECT_EQ(tabs->tabText(1), "提示词");
    EXPECT_EQ(tabs->tabText(2), "视频记录");
    EXPECT_EQ(tabs->tabText(3), "帮助说明");
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(tabs->tabIcon(i).isNull()) << i;
        EXPECT_FALSE(tabs->tabIcon(i).pixmap(16, 16).isNull()) << i;
    }
    EXPECT_EQ(tabs->widget(0), window->recordingView());
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(app.selectedTab(), 0);
    EXPECT_FALSE(app.scriptToRecord().has_value());
    EXPECT_TRUE(window->recordingView()->teleprompterText().isEmpty());
    EXPECT_FALSE(window->recordingView()->isTeleprompterVisible());
}

TEST_F(Shell, WindowTitleSizesAndNoNewWindowCommand)
{
    EXPECT_EQ(window->windowTitle(), "Veltroscope");
    EXPECT_EQ(window->size(), QSize(1100, 780));
    window->resize(400, 300);
    MainLoop::drain();
    EXPECT_GE(window->width(), 960);
    EXPECT_GE(window->height(), 680);
    window->resize(960, 680);
    MainLoop::drain();
    EXPECT_EQ(window->size(), QSize(960, 680));

    for (QAction *action : window->findChildren<QAction *>()) {
        EXPECT_NE(action->shortcut(), QKeySequence(QKeySequence::New)) << action->text().toStdString();
    }
}

TEST_F(Shell, TabSelectionIsBoundBothWays)
{
    selectTab(2);
    EXPECT_EQ(app.selectedTab(), 2);
    app.setSelectedTab(3);
    MainLoop::drain();
    EXPECT_EQ(window->tabs()->currentIndex(), 3);
}

TEST_F(Shell, HandOverShowsTheRecordingTabWithTheScript)
{
    const Script script{42, "标题", "第一句台词", 1, 2};
    selectTab(1);
    app.onRecordWithScript(script);
    MainLoop::drain();
    EXPECT_EQ(app.scriptToRecord(), script);
    EXPECT_EQ(app.selectedTab(), 0);
    EXPECT_EQ(window->tabs()->currentIndex(), 0);
    EXPECT_EQ(window->recordingView()->teleprompterText(), "第一句台词");
    EXPECT_TRUE(window->recordingView()->isTeleprompterVisible());

    // The same script again still switches tabs.
    selectTab(1);
    app.onRecordWithScript(script);
    MainLoop::drain();
    EXPECT_EQ(window->tabs()->currentIndex(), 0);

    // Leaving and coming back keeps the last hand-over.
    selectTab(2);
    selectTab(0);
    EXPECT_EQ(app.scriptToRecord(), script);
    EXPECT_EQ(window->recordingView()->teleprompterText(), "第一句台词");
}

TEST_F(Shell, HandOverFromTheScriptListByMenuAndDoubleClick)
{
    DatabaseManager &db = DatabaseManager::shared();
    db.addScript("<b>粗体</b>", "<img src=x> 台词");
    MainLoop::drain();
    selectTab(1);
    ScriptsListView *scripts = window->scriptsListView();
    QListView *list = scripts->listView();
    ASSERT_EQ(list->model()->rowCount(), 1);
    const QPoint row = scripts->textRect(0).center();

    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, row, list->viewport()->mapToGlobal(row));
    QApplication::sendEvent(list->viewport(), &menuEvent);
    ASSERT_TRUE(scripts->contextMenu()->isVisible());
    scripts->recordAction()->trigger();
    MainLoop::drain();
    EXPECT_EQ(window->tabs()->currentIndex(), 0);
    EXPECT_EQ(window->recordingView()->teleprompterText(), "<img src=x> 台词");

    // The same script a second time, now by double click, switches tabs again.
    selectTab(1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
    MainLoop::drain();
    EXPECT_EQ(window->tabs()->currentIndex(), 0);
    EXPECT_EQ(window->recordingView()->teleprompterText(), "<img src=x> 台词");
    EXPECT_FALSE(scripts->scriptToRecord().has_value());
}

TEST_F(Shell, RecordingScreenKeepsOneListener)
{
    auto *listener = window->recordingView()->speechManager();
    ASSERT_NE(listener, nullptr);
    app.onRecordWithScript(Script{1, "a", "b", 0, 0});
    selectTab(3);
    selectTab(0);
    EXPECT_EQ(window->recordingView()->speechManager(), listener);
}

TEST(ShellQuit, QuittingDuringARemuxStopsItAndKeepsTheTakeForTheNextStart)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("take.mp4");
    testfiles::VideoSpec clip;
    clip.size = {480, 480};
    clip.frameCount = 150;
    clip.hasAudio = false;
    clip.pattern = "snow"; // megabytes to copy
    clip.isFragmented = true;
    ASSERT_TRUE(testfiles::writeVideo(path, clip));
    const QByteArray recorded = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    TakeJournal::shared().noteStarted(path, VideoAspectRatio::ratio1x1);
    TakeJournal::shared().noteCropped(path);
    // The muxer's scratch file is a pipe read slowly: the remux is still
    // under way, however fast the machine, when the quit comes.
    const QString scratch = ExportPipeline::scratchPath(folder.filePath("take.cropped.mp4"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(scratch).constData(), 0600), 0);
    std::thread reader([&] {
        const int pipe = ::open(QFile::encodeName(scratch).constData(), O_RDONLY);
        char chunk[4096];
        while (pipe >= 0 && ::read(pipe, chunk, sizeof chunk) > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (pipe >= 0) {
            ::close(pipe);
        }
    });
    // Whatever happens below, the reader gets an end and is waited for.
    const std::shared_ptr<void> joinReader(nullptr, [&](void *) {
        const int writer = ::open(QFile::encodeName(scratch).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
        }
        reader.join();
    });
    LogCapture log;
    {
        VeltroscopeApp app(managerWithoutDevices());
        app.cameraManager()->configureResolution(VideoResolution::p720, VideoAspectRatio::ratio1x1);
        std::thread([&] {
            app.cameraManager()->fileOutputDidFinishRecording(path, std::nullopt, VideoAspectRatio::ratio1x1);
        }).join();
        ASSERT_TRUE(MainLoop::waitUntil([&] { return QFile::exists(folder.filePath("take.cropped.mp4")); }, 60000));
        app.prepareToQuit();
        EXPECT_TRUE(log.contains("❌ 视频裁剪失败: the export was cancelled")) << log.lines().join('\n').toStdString();
    }
    MainLoop::drain();

    EXPECT_TRUE(log.linesStartingWith("✂️").isEmpty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::System), QStringList{"take.mp4"});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == recorded) << "the recording is as it was";
    EXPECT_TRUE(DatabaseManager::shared().videos().isEmpty());
    ASSERT_EQ(TakeJournal::shared().entries().size(), 1);
    EXPECT_EQ(TakeJournal::shared().entries().first().path, path);
}

TEST(ShellQuit, StartFinishesWhatTheLastRunLeft)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("take.mp4");
    testfiles::VideoSpec clip;
    clip.size = {640, 360};
    clip.frameCount = 15;
    ASSERT_TRUE(testfiles::writeVideo(path, clip));
    {
        // The last run: its take was written, then the program ended.
        TakeJournal earlier(TakeJournal::defaultFilePath());
        earlier.noteStarted(path, VideoAspectRatio::ratio16x9);
    }
    VeltroscopeApp app(managerWithoutDevices());
    ASSERT_TRUE(MainLoop::waitUntil([] { return !DatabaseManager::shared().videos().isEmpty(); }, 60000));
    EXPECT_EQ(DatabaseManager::shared().videos().first().filePath, path);
}
