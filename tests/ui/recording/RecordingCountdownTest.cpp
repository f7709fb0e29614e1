#include "RecordingScreenFixture.h"
#include "StoredOptions.h"

#include "platform/media/BeepPlayer.h"
#include "platform/media/CaptureSession.h"
#include "ui/recording/CountdownOverlay.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingCountdown.h"
#include "ui/recording/RecordingOptionsButton.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <gtest/gtest.h>

#include <QAction>

using namespace RecordingScreen;

namespace {
const QString startLine = QStringLiteral("🎬 开始录制: ");

// The screen with the countdown's seconds and beeps in the test's hands.
struct CountingScreen : Screen {
    ManualDelays seconds;
    int beeps = 0;

    explicit CountingScreen(bool countdownOn)
    {
        view->aids()->countdown()->setDelay(seconds.delay());
        view->aids()->countdown()->setBeep([this] { ++beeps; });
        if (countdownOn) {
            view->aids()->optionsButton()->item(QStringLiteral("录制前倒计时"))->trigger();
        }
    }
    RecordButton *button() const { return view->controlPanel()->voiceFeedbackRow()->recordButton(); }
    CountdownOverlay *overlay() const { return view->pictureArea()->findChild<CountdownOverlay *>(); }
    int starts() const { return int(log.linesStartingWith(startLine).size()); }
};
} // namespace

TEST(RecordingCountdown, CountsThreeTwoOneWithABeepEachSecondThenStartsWithTheChoicesOfThatMoment)
{
    forgetStoredOptions();
    CountingScreen screen(true);
    ASSERT_TRUE(screen.waitForCamera());
    ASSERT_TRUE(screen.view->aids()->options()->isCountdownEnabled());
    ASSERT_NE(screen.overlay(), nullptr);
    EXPECT_FALSE(screen.overlay()->isVisible());

    screen.button()->click();
    MainLoop::drain();
    for (int remaining = 3; remaining >= 1; --remaining) {
        SCOPED_TRACE(remaining);
        EXPECT_EQ(screen.view->aids()->countdown()->remainingSeconds(), remaining);
        EXPECT_TRUE(screen.overlay()->isVisible());
        EXPECT_EQ(screen.overlay()->shownText(), QString::number(remaining));
        EXPECT_EQ(screen.overlay()->geometry(), screen.view->pictureArea()->rect()) << "over the whole picture";
        EXPECT_EQ(screen.beeps, 4 - remaining) << "one beep as each number shows";
        EXPECT_EQ(screen.button()->text(), "取消录制");
        EXPECT_EQ(screen.button()->accessibleName(), "取消录制");
        EXPECT_EQ(screen.starts(), 0);
        EXPECT_FALSE(screen.camera->isRecording());
        ASSERT_EQ(screen.seconds.pending->size(), 1);
        if (remaining == 2) {
            // The speaker changes the resolution during the count: the start takes it.
            screen.view->viewState()->setSelectedResolution(VideoResolution::p720);
        }
        EXPECT_DOUBLE_EQ(screen.seconds.runNext(), 1.0);
    }
    EXPECT_FALSE(screen.view->aids()->countdown()->isCounting());
    EXPECT_FALSE(screen.overlay()->isVisible());
    EXPECT_EQ(screen.beeps, 3) << "no beep at the start itself";
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screen.camera->isRecording(); }, 15000));
    EXPECT_EQ(screen.starts(), 1);
    EXPECT_EQ(screen.camera->captureSession()->sessionPreset(), SessionPreset::p1280x720);
    EXPECT_EQ(screen.button()->text(), "停止录制");

    // A stop is never counted.
    MainLoop::spin(300);
    screen.button()->click();
    MainLoop::drain();
    EXPECT_FALSE(screen.view->aids()->countdown()->isCounting());
    EXPECT_TRUE(MainLoop::waitUntil([&] { return !screen.camera->isRecording(); }, 30000));
    EXPECT_EQ(screen.beeps, 3);
    EXPECT_TRUE(screen.waitForLibraryRows(1));
    forgetStoredOptions();
}

TEST(RecordingCountdown, PressingStopDuringTheCountCancelsItForGood)
{
    forgetStoredOptions();
    CountingScreen screen(true);
    ASSERT_TRUE(screen.waitForCamera());

    screen.button()->click();
    screen.seconds.runNext();
    ASSERT_EQ(screen.view->aids()->countdown()->remainingSeconds(), 2);
    screen.button()->click();
    MainLoop::drain();
    EXPECT_FALSE(screen.view->aids()->countdown()->isCounting());
    EXPECT_FALSE(screen.overlay()->isVisible());
    EXPECT_EQ(screen.button()->text(), "开始录制");
    EXPECT_EQ(screen.button()->symbolName(), "record.circle");
    // The second that was already scheduled comes, and does nothing.
    while (screen.seconds.runNext() >= 0) { }
    EXPECT_EQ(screen.beeps, 2);
    MainLoop::spin(300);
    EXPECT_EQ(screen.starts(), 0);
    EXPECT_FALSE(screen.camera->isRecording());

    // A new press counts from 3 again, and a spoken stop cancels it as well.
    screen.button()->click();
    EXPECT_EQ(screen.view->aids()->countdown()->remainingSeconds(), 3);
    screen.say(QStringLiteral("停止录制"));
    EXPECT_FALSE(screen.view->aids()->countdown()->isCounting());
    while (screen.seconds.runNext() >= 0) { }
    MainLoop::spin(300);
    EXPECT_EQ(screen.starts(), 0);
    forgetStoredOptions();
}

TEST(RecordingCountdown, AVoiceStartKeepsItsShortDelayAndEndsACountUnderWay)
{
    forgetStoredOptions();
    CountingScreen screen(true);
    ASSERT_TRUE(screen.waitForCamera());

    screen.button()->click();
    ASSERT_TRUE(screen.view->aids()->countdown()->isCounting());
    screen.say(QStringLiteral("开始录制"));
    ASSERT_EQ(screen.delays.pending->size(), 1);
    EXPECT_DOUBLE_EQ(screen.delays.runNext(), 0.3) << "the voice start's own delay, no count";
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screen.camera->isRecording(); }, 15000));
    EXPECT_FALSE(screen.view->aids()->countdown()->isCounting()) << "the recording has begun: nothing left to count";
    EXPECT_EQ(screen.button()->text(), "停止录制");
    while (screen.seconds.runNext() >= 0) { }
    EXPECT_EQ(screen.beeps, 1);
    EXPECT_EQ(screen.starts(), 1);
    EXPECT_TRUE(screen.camera->isRecording()) << "the stale second neither stops nor restarts";

    screen.delays.runNext(); // the listener resumes
    MainLoop::spin(300);
    screen.say(QStringLiteral("停止录制"));
    EXPECT_TRUE(MainLoop::waitUntil([&] { return !screen.camera->isRecording(); }, 30000));
    EXPECT_TRUE(screen.waitForLibraryRows(1));
    forgetStoredOptions();
}

TEST(RecordingCountdown, WithTheOptionOffTheButtonStartsAtOnceWithoutABeep)
{
    forgetStoredOptions();
    CountingScreen screen(false);
    ASSERT_TRUE(screen.waitForCamera());
    screen.button()->click();
    EXPECT_FALSE(screen.view->aids()->countdown()->isCounting());
    EXPECT_TRUE(screen.seconds.pending->isEmpty());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screen.camera->isRecording(); }, 15000));
    EXPECT_EQ(screen.beeps, 0);
    MainLoop::spin(300);
    screen.button()->click();
    EXPECT_TRUE(MainLoop::waitUntil([&] { return !screen.camera->isRecording(); }, 30000));
    EXPECT_TRUE(screen.waitForLibraryRows(1));
}

TEST(RecordingCountdown, TurningTheOptionOnPreparesTheBeepOnceBeforeAnyCount)
{
    forgetStoredOptions();
    Screen screen;
    RecordingCountdown *countdown = screen.view->aids()->countdown();
    EXPECT_EQ(countdown->beepPlayer(), nullptr) << "no sound pipeline for a user who never counts down";

    QAction *option = screen.view->aids()->optionsButton()->item(QStringLiteral("录制前倒计时"));
    option->trigger();
    BeepPlayer *player = countdown->beepPlayer();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->beepsStarted(), 0) << "prepared, not played";
    EXPECT_TRUE(MainLoop::waitUntil([&] { return player->isPrepared(); }, 30000));

    // Off and on again: the same player, built once.
    option->trigger();
    option->trigger();
    EXPECT_EQ(countdown->beepPlayer(), player);
    forgetStoredOptions();
}
