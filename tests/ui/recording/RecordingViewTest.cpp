#include "RecordingScreenFixture.h"

#include "platform/media/CaptureSession.h"
#include "platform/media/MovieFileOutput.h"
#include "platform/media/StaticDeviceProvider.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/SegmentedControl.h"
#include "ui/recording/AspectRatioCropOverlay.h"
#include "ui/recording/CameraMenuButton.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/PulsingDot.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingIndicator.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMenu>

using namespace RecordingScreen;

namespace {
const QString startLine = QStringLiteral("🎬 开始录制: ");
const QString pauseLine = QStringLiteral("⏸️ 暂停语音监听以让出麦克风给录制");
const QString resumeLine = QStringLiteral("▶️ 恢复语音监听");
const QString listeningLine = QStringLiteral("👂 开始语音监听");

CameraRow *row1(const Screen &screen)
{
    return screen.view->controlPanel()->cameraRow();
}
VoiceFeedbackRow *row3(const Screen &screen)
{
    return screen.view->controlPanel()->voiceFeedbackRow();
}
RecordButton *recordButton(const Screen &screen)
{
    return row3(screen)->recordButton();
}
int started(const Screen &screen)
{
    return int(screen.log.linesStartingWith(startLine).size());
}
} // namespace

TEST(RecordingView, StartsWithTheInitialChoices)
{
    Screen screen;
    RecordingViewState *state = screen.view->viewState();
    EXPECT_EQ(state->selectedAspectRatio(), VideoAspectRatio::ratio16x9);
    EXPECT_EQ(state->selectedResolution(), VideoResolution::p1080);
    EXPECT_FALSE(state->isTeleprompterVisible());
    EXPECT_TRUE(state->teleprompterText().isEmpty());

    SegmentedControl *ratio = row1(screen)->ratioControl();
    ASSERT_EQ(ratio->count(), 4);
    EXPECT_EQ(ratio->segment(0)->text(), "1:1");
    EXPECT_EQ(ratio->segment(3)->text(), "9:16");
    EXPECT_EQ(ratio->currentIndex(), 2);
    SegmentedControl *resolution = row1(screen)->resolutionControl();
    EXPECT_EQ(resolution->segment(3)->text(), "2K");
    EXPECT_EQ(resolution->currentIndex(), 2);

    EXPECT_FALSE(screen.view->pictureArea()->indicator()->isVisible());
    EXPECT_EQ(recordButton(screen)->text(), "开始录制");
    EXPECT_EQ(recordButton(screen)->symbolName(), "record.circle");
    EXPECT_NEAR(recordButton(screen)->backgroundColor().alphaF(), 0.85, 0.01);
    EXPECT_FALSE(row3(screen)->heardCommandBadge()->isVisible());
    EXPECT_FALSE(row3(screen)->recognitionBadge()->isVisible());

    ASSERT_TRUE(screen.waitForCamera());
    EXPECT_EQ(row1(screen)->cameraMenu()->title(), "Colour Bars");
    EXPECT_EQ(row1(screen)->saveFolderLabel()->text(), screen.folder.path());
    EXPECT_EQ(row1(screen)->saveFolderLabel()->toolTip(), screen.folder.path());

    // Choosing a ratio changes the overlay at once, and nothing else.
    ratio->segment(3)->click();
    EXPECT_EQ(state->selectedAspectRatio(), VideoAspectRatio::ratio9x16);
    EXPECT_DOUBLE_EQ(screen.view->pictureArea()->overlay()->ratio(), 0.5625);
    EXPECT_EQ(screen.camera->pendingAspectRatio(), VideoAspectRatio::ratio16x9);
}

TEST(RecordingView, WithoutACameraTheMenuReadsChooseCamera)
{
    Screen noCamera({.cameras = {}});
    EXPECT_EQ(row1(noCamera)->cameraMenu()->title(), "选择摄像头");
    EXPECT_TRUE(row1(noCamera)->cameraMenu()->menu()->actions().isEmpty());
}

TEST(RecordingView, CameraMenuSwitchesToTheChosenCamera)
{
    Screen screen({.cameras = {colourBars(QStringLiteral("Front"), QStringLiteral("test:front")),
                       colourBars(QStringLiteral("A side camera with a very long name that cannot fit"),
                           QStringLiteral("test:side"))}});
    ASSERT_TRUE(screen.waitForCamera());
    const QList<QAction *> items = row1(screen)->cameraMenu()->menu()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "Front");
    EXPECT_EQ(items[1]->data().toString(), "test:side");
    items[1]->trigger();
    MainLoop::drain();
    ASSERT_TRUE(screen.camera->selectedDevice().has_value());
    EXPECT_EQ(screen.camera->selectedDevice()->uniqueID(), "test:side");
    CameraMenuButton *menu = row1(screen)->cameraMenu();
    EXPECT_EQ(menu->title(), "A side camera with a very long name that cannot fit");
    EXPECT_EQ(menu->accessibleName(), menu->title()) << "the whole name for a screen reader";
    EXPECT_TRUE(menu->text().endsWith(QChar(0x2026))) << "one line, cut with an ellipsis";
    EXPECT_LE(menu->fontMetrics().horizontalAdvance(menu->text()), CameraRow::cameraTitleMaxWidth);
}

TEST(RecordingView, RecordButtonStartsAndStopsWithoutTouchingTheListener)
{
    Screen screen({.recognizer = true});
    ASSERT_TRUE(screen.waitForCamera());
    ASSERT_TRUE(screen.waitForListening());
    row1(screen)->ratioControl()->segment(3)->click();
    row1(screen)->resolutionControl()->segment(1)->click();

    recordButton(screen)->click();
    // Both camera operations at once, with the values shown, and no pause.
    EXPECT_EQ(screen.camera->pendingAspectRatio(), VideoAspectRatio::ratio9x16);
    EXPECT_EQ(screen.log.count(pauseLine), 0);
    EXPECT_TRUE(screen.delays.pending->isEmpty());

    ASSERT_TRUE(screen.waitForRecording());
    EXPECT_EQ(started(screen), 1);
    EXPECT_EQ(screen.camera->captureSession()->sessionPreset(), SessionPreset::p1280x720);
    EXPECT_EQ(recordButton(screen)->text(), "停止录制");
    EXPECT_EQ(recordButton(screen)->accessibleName(), "停止录制");
    EXPECT_EQ(recordButton(screen)->symbolName(), "stop.fill");
    EXPECT_EQ(recordButton(screen)->backgroundColor(), QColor(Qt::red)) << "solid red while recording";
    RecordingIndicator *indicator = screen.view->pictureArea()->indicator();
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_TRUE(indicator->pulse()->isPulsing());
    EXPECT_EQ(indicator->label()->text(), "录制中");
    const QRect area = screen.view->pictureArea()->rect();
    EXPECT_EQ(indicator->geometry().top(), 16);
    EXPECT_EQ(area.width() - indicator->geometry().right() - 1, 16);

    MainLoop::spin(600);
    recordButton(screen)->click();
    MainLoop::drain();
    EXPECT_FALSE(screen.camera->isRecording());
    EXPECT_EQ(recordButton(screen)->text(), "开始录制");
    EXPECT_FALSE(indicator->isVisible());
    EXPECT_TRUE(screen.listener->isListening());
    EXPECT_EQ(screen.log.count(pauseLine), 0);
    EXPECT_EQ(screen.log.count(resumeLine), 0);
    EXPECT_TRUE(screen.waitForLibraryRows(1));
}

TEST(RecordingView, VoiceStartPausesStartsWithTheChoicesOfThatMomentAndResumes)
{
    Screen screen({.recognizer = true});
    ASSERT_TRUE(screen.waitForCamera());
    ASSERT_TRUE(screen.waitForListening());

    screen.say(QStringLiteral("开始录制"));
    EXPECT_EQ(screen.log.count(pauseLine), 1) << "the microphone is freed first";
    EXPECT_EQ(started(screen), 0) << "not before the delay";
    ASSERT_EQ(screen.delays.pending->size(), 1);

    // The speaker changes the ratio while the delay runs: the start takes it.
    row1(screen)->ratioControl()->segment(0)->click();
    row1(screen)->resolutionControl()->segment(0)->click();
    EXPECT_DOUBLE_EQ(screen.delays.runNext(), 0.3);
    EXPECT_EQ(screen.camera->pendingAspectRatio(), VideoAspectRatio::ratio1x1);
    ASSERT_TRUE(screen.waitForRecording());
    EXPECT_EQ(started(screen), 1);
    EXPECT_EQ(screen.camera->captureSession()->sessionPreset(), SessionPreset::p640x480);
    EXPECT_EQ(screen.log.count(resumeLine), 0);

    ASSERT_EQ(screen.delays.pending->size(), 1);
    EXPECT_DOUBLE_EQ(screen.delays.runNext(), 0.5);
    EXPECT_EQ(screen.log.count(resumeLine), 1);
    EXPECT_TRUE(screen.listener->isListening());

    // A stop keyword ends it, without pausing the listener.
    screen.say(QStringLiteral("停止录制"));
    EXPECT_FALSE(screen.camera->isRecording());
    EXPECT_EQ(screen.log.count(pauseLine), 1);
    EXPECT_TRUE(screen.delays.pending->isEmpty());
    EXPECT_TRUE(screen.waitForLibraryRows(1));
}

TEST(RecordingView, VoiceCommandsInTheWrongStateChangeNothing)
{
    Screen screen({.recognizer = true});
    ASSERT_TRUE(screen.waitForCamera());
    ASSERT_TRUE(screen.waitForListening());

    screen.say(QStringLiteral("停止录制"));
    EXPECT_FALSE(screen.camera->isRecording());
    EXPECT_EQ(started(screen), 0);

    recordButton(screen)->click();
    ASSERT_TRUE(screen.waitForRecording());
    const auto recordingPath = screen.camera->currentRecordingURL();
    screen.say(QStringLiteral("开始录制"));
    EXPECT_EQ(screen.log.count(pauseLine), 0) << "start while recording is dropped before the pause";
    EXPECT_TRUE(screen.delays.pending->isEmpty());
    EXPECT_EQ(started(screen), 1);
    EXPECT_EQ(screen.camera->currentRecordingURL(), recordingPath);
    EXPECT_TRUE(screen.camera->isRecording());

    recordButton(screen)->click();
    MainLoop::drain();
    EXPECT_TRUE(screen.waitForLibraryRows(1));
}

TEST(RecordingView, ShowingAgainReloadsTheScriptAndKeepsOneListener)
{
    const Script script{7, QStringLiteral("开场"), QStringLiteral("大家好，欢迎收看本期节目。"), 1, 2};
    Screen screen({.script = script, .recognizer = true});
    RecordingViewState *state = screen.view->viewState();
    EXPECT_EQ(state->teleprompterText(), script.content);
    EXPECT_TRUE(state->isTeleprompterVisible());
    ASSERT_TRUE(screen.waitForListening());

    // Another script chosen in the meantime: coming back reloads the handed one.
    state->setTeleprompterText(QStringLiteral("别的稿子"));
    SpeechRecognitionManager *listener = screen.view->speechManager();
    for (int round = 0; round < 3; ++round) {
        screen.showTab(1);
        screen.showTab(0);
    }
    MainLoop::spin(200);
    EXPECT_EQ(state->teleprompterText(), script.content);
    EXPECT_EQ(screen.view->speechManager(), listener);
    EXPECT_TRUE(listener->isListening());
    EXPECT_EQ(screen.log.count(listeningLine), 1) << "one listener, started once";

    // The actions were replaced, not added: one command, one pause.
    screen.say(QStringLiteral("开始录制"));
    EXPECT_EQ(screen.log.count(pauseLine), 1);
    screen.delays.runNext();
    ASSERT_TRUE(screen.waitForRecording());
    screen.delays.runNext();
    screen.say(QStringLiteral("停止录制"));
    EXPECT_FALSE(screen.camera->isRecording());
    EXPECT_TRUE(screen.waitForLibraryRows(1));
}

TEST(RecordingView, EmptyScriptTicksTheTeleprompterButShowsNoBox)
{
    Screen screen({.script = Script{3, QStringLiteral("空"), QString(), 1, 1}});
    auto *box = new QWidget;
    screen.view->pictureArea()->setTeleprompterView(box);
    EXPECT_TRUE(screen.view->isTeleprompterVisible());
    EXPECT_FALSE(screen.view->pictureArea()->isTeleprompterShown());
    screen.view->viewState()->setTeleprompterText(QStringLiteral("第一行"));
    EXPECT_TRUE(screen.view->pictureArea()->isTeleprompterShown());
    screen.view->viewState()->setIsTeleprompterVisible(false);
    EXPECT_FALSE(screen.view->pictureArea()->isTeleprompterShown());
}

TEST(RecordingView, RefusedMicrophoneLeavesTheListenerIdleAndTheButtonWorking)
{
    Screen screen({.microphoneGranted = false, .recognizer = true});
    ASSERT_TRUE(screen.waitForCamera());
    MainLoop::spin(300);
    EXPECT_FALSE(screen.listener->isListening());
    EXPECT_EQ(screen.log.count(listeningLine), 0);
    recordButton(screen)->click();
    ASSERT_TRUE(screen.waitForRecording());
    recordButton(screen)->click();
    MainLoop::drain();
    EXPECT_TRUE(screen.waitForLibraryRows(1));
}
