#include "RecordingScreenFixture.h"

#include "library/RecordingOptions.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/SegmentedControl.h"
#include "ui/recording/AspectRatioCropOverlay.h"
#include "ui/recording/CameraMenuButton.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/PictureNotice.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterView.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QMenu>
#include <QTest>

using namespace RecordingScreen;

namespace {
const QString startLine = QStringLiteral("🎬 开始录制: ");

CameraRow *row1(const Screen &screen)
{
    return screen.view->controlPanel()->cameraRow();
}
RecordButton *recordButton(const Screen &screen)
{
    return screen.view->controlPanel()->voiceFeedbackRow()->recordButton();
}
bool choicesEnabled(const Screen &screen)
{
    CameraRow *row = row1(screen);
    return row->cameraMenu()->isEnabled() && row->ratioControl()->isEnabled() && row->resolutionControl()->isEnabled();
}
bool choicesDisabled(const Screen &screen)
{
    CameraRow *row = row1(screen);
    return !row->cameraMenu()->isEnabled() && !row->ratioControl()->isEnabled()
        && !row->resolutionControl()->isEnabled();
}
double overlayRatio(const Screen &screen)
{
    return screen.view->pictureArea()->overlay()->ratio();
}
int takesIn(const Screen &screen)
{
    return int(QDir(screen.folder.path()).entryList({QStringLiteral("*.mp4")}, QDir::Files).size());
}
// Until the take asked for has been reported, written or not, and processed.
bool waitUntilSettled(const Screen &screen)
{
    return MainLoop::waitUntil(
               [&] {
                   return !screen.log.linesStartingWith(QStringLiteral("✅ 录制完成: ")).isEmpty()
                       || !screen.log.linesStartingWith(QStringLiteral("❌ 录制文件不存在: ")).isEmpty();
               },
               20000)
        && screen.camera->waitForPostProcessing(30000);
}
} // namespace

TEST(RecordingTakeState, PressF5OrASpokenStopWhileStartingEndsTheStartingTake)
{
    const QStringList ways = {QStringLiteral("press"), QStringLiteral("F5"), QStringLiteral("voice")};
    for (const QString &way : ways) {
        SCOPED_TRACE(way.toStdString());
        Screen screen;
        ASSERT_TRUE(screen.waitForCamera());
        screen.view->voiceCommands()->whenShown();
        recordButton(screen)->click();
        ASSERT_TRUE(screen.camera->isStartingRecording());
        EXPECT_EQ(recordButton(screen)->text(), QStringLiteral("正在开始…"));
        EXPECT_EQ(recordButton(screen)->accessibleName(), QStringLiteral("正在开始…"));
        EXPECT_EQ(recordButton(screen)->symbolName(), "stop.fill") << "a press now stops";

        if (way == QStringLiteral("press")) {
            recordButton(screen)->click();
        } else if (way == QStringLiteral("F5")) {
            screen.tabs.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&screen.tabs));
            QTest::keyClick(&screen.tabs, Qt::Key_F5);
        } else {
            screen.say(QStringLiteral("停止录制"));
        }
        MainLoop::drain();
        EXPECT_FALSE(screen.camera->isTakeUnderWay());
        EXPECT_EQ(recordButton(screen)->text(), QStringLiteral("开始录制"));
        ASSERT_TRUE(waitUntilSettled(screen));
        EXPECT_FALSE(screen.camera->isRecording()) << "the late start report does not bring it back";
        EXPECT_LE(screen.log.count(startLine), 1);
        EXPECT_LE(takesIn(screen), 1) << "one take at most, never a second";
    }
}

TEST(RecordingTakeState, ChoicesAreLockedFromTheStartUntilTheTakeEndsAndTheFrameIsTheTakes)
{
    Screen screen;
    ASSERT_TRUE(screen.waitForCamera());
    row1(screen)->ratioControl()->segment(0)->click(); // 1:1
    EXPECT_DOUBLE_EQ(overlayRatio(screen), 1.0);
    EXPECT_TRUE(choicesEnabled(screen));

    recordButton(screen)->click();
    EXPECT_TRUE(choicesDisabled(screen)) << "locked while starting";
    ASSERT_TRUE(screen.waitForRecording());
    EXPECT_TRUE(choicesDisabled(screen));
    // Whatever changes the choice meanwhile, the frame stays the take's.
    screen.view->viewState()->setSelectedAspectRatio(VideoAspectRatio::ratio9x16);
    EXPECT_DOUBLE_EQ(overlayRatio(screen), 1.0);

    recordButton(screen)->click();
    MainLoop::drain();
    EXPECT_TRUE(choicesEnabled(screen));
    EXPECT_DOUBLE_EQ(overlayRatio(screen), VideoAspectRatio(VideoAspectRatio::ratio9x16).ratio());
    EXPECT_TRUE(screen.waitForLibraryRows(1));
}

TEST(RecordingTakeState, ATakeThatFailsMidwayUnlocksTheChoicesAndSaysWhyUntilTheNextTake)
{
    Screen screen({.cameras = {TestDevices::failingCamera(45)}});
    ASSERT_TRUE(screen.waitForCamera());
    row1(screen)->resolutionControl()->segment(1)->click(); // a restart: pictures counted from the take
    PictureNotice *failure = screen.view->pictureArea()->failureNotice();
    EXPECT_FALSE(failure->isVisible());

    recordButton(screen)->click();
    ASSERT_TRUE(screen.waitForRecording());
    EXPECT_TRUE(choicesDisabled(screen));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !screen.camera->isRecording(); }, 30000));
    EXPECT_TRUE(choicesEnabled(screen));
    EXPECT_TRUE(failure->isVisible());
    EXPECT_TRUE(failure->title().startsWith(QStringLiteral("❌ 录制意外结束: "))) << failure->title().toStdString();
    const QStringList logged = screen.log.linesStartingWith(QStringLiteral("❌ 录制意外结束: "));
    ASSERT_EQ(logged.size(), 1);
    EXPECT_EQ(failure->title(), logged.first()) << "the log line, as it stands";
    EXPECT_TRUE(screen.waitForLibraryRows(1));
    MainLoop::spin(300);
    EXPECT_TRUE(failure->isVisible()) << "it stays";

    recordButton(screen)->click();
    EXPECT_FALSE(failure->isVisible()) << "until the next take starts";
    recordButton(screen)->click();
    screen.camera->waitForPostProcessing(30000);
}

TEST(RecordingTakeState, WithoutACameraThePictureSaysSoAndNothingStartsUntilOneIsPluggedIn)
{
    Screen screen({.cameras = {}});
    PictureNotice *notice = screen.view->pictureArea()->cameraNotice();
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->title(), QStringLiteral("未找到摄像头"));
    EXPECT_FALSE(notice->hint().isEmpty());
    EXPECT_FALSE(recordButton(screen)->isEnabled());

    recordButton(screen)->click();
    screen.tabs.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&screen.tabs));
    QTest::keyClick(&screen.tabs, Qt::Key_F5);
    MainLoop::spin(200);
    EXPECT_FALSE(screen.camera->isTakeUnderWay());
    EXPECT_EQ(screen.log.count(startLine), 0);
    EXPECT_TRUE(screen.log.linesStartingWith(QStringLiteral("❌ 无法开始录制")).isEmpty());

    screen.devices->setVideoDevices({colourBars()});
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !notice->isVisible(); }, 5000));
    ASSERT_EQ(row1(screen)->cameraMenu()->menu()->actions().size(), 1);
    EXPECT_EQ(row1(screen)->cameraMenu()->title(), QStringLiteral("Colour Bars"));
    EXPECT_TRUE(recordButton(screen)->isEnabled());
}

TEST(RecordingTakeState, AnUnpluggedCameraEndsTheTakeAndTheScreenSaysSo)
{
    Screen screen;
    ASSERT_TRUE(screen.waitForCamera());
    recordButton(screen)->click();
    ASSERT_TRUE(screen.waitForRecording());
    MainLoop::spin(800);
    screen.devices->setVideoDevices({});
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !screen.camera->isRecording(); }, 5000));
    EXPECT_TRUE(screen.view->pictureArea()->failureNotice()->isVisible());
    EXPECT_TRUE(screen.view->pictureArea()->failureNotice()->title().contains(QStringLiteral("摄像头已断开")));
    EXPECT_TRUE(screen.view->pictureArea()->cameraNotice()->isVisible());
    EXPECT_TRUE(screen.waitForLibraryRows(1)) << "what was written is kept";
}

TEST(RecordingTakeState, WithoutAMicrophoneTheVoiceRowSaysCommandsAreUnavailable)
{
    Screen screen({.microphone = std::nullopt});
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] { return screen.log.contains(QStringLiteral("⚠️ videoOutput 没有音频连接")); }, 10000));
    ElidedLabel *badge = screen.view->controlPanel()->voiceFeedbackRow()->voiceUnavailableBadge();
    EXPECT_TRUE(badge->isVisible());
    EXPECT_TRUE(badge->text().contains(QStringLiteral("语音指令不可用")));
    EXPECT_TRUE(recordButton(screen)->isEnabled()) << "a take records picture only";

    screen.devices->setDefaultAudioDevice(TestDevices::microphone());
    EXPECT_TRUE(MainLoop::waitUntil([&] { return !badge->isVisible(); }, 5000));
}

TEST(RecordingTakeState, TheScreenHoldsNothingItPointsAtPastItsLife)
{
    Screen screen;
    // A teleprompter put in place of the first: the mirror option reaches the
    // new one, and the deleted one is never touched.
    auto *replacement = new TeleprompterView(screen.view->viewState());
    screen.view->pictureArea()->setTeleprompterView(replacement);
    screen.view->aids()->options()->setIsMirroringText(!screen.view->aids()->options()->isMirroringText());
    MainLoop::drain();
    EXPECT_EQ(replacement->isMirrored(), screen.view->aids()->options()->isMirroringText());

    // The listener handed in goes before the screen: the screen only lets go.
    QPointer<RecordingView> view = screen.view;
    screen.listener.reset();
    EXPECT_EQ(view->speechManager(), nullptr);
    screen.showTab(1);
    screen.showTab(0); // comes on screen again without its listener
    screen.tabs.clear();
    delete screen.view;
    screen.view = nullptr;
    EXPECT_TRUE(view.isNull());
}
