// The follower on the recording screen's state and box: when it is in charge,
// how it moves the text, and the listener feeding it.
#include "FollowSimulation.h"

#include "platform/speech/AudioEngine.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFileInput.h"
#include "support/MainLoop.h"
#include "ui/recording/TeleprompterScroller.h"
#include "voice/SpeechRecognitionManager.h"
#include "voice/VoiceClips.h"

#include <gtest/gtest.h>

namespace {
// Six lines or so at the box's width; its pinyin, as the recognizer writes it.
const QString script = QStringLiteral("大家好，欢迎来到今天的节目。今天我们聊一聊怎样拍一段好视频。"
                                      "首先要准备一台相机和一支话筒。光线要柔和，背景要干净。说话的时候看着镜头，"
                                      "就像和朋友聊天。稿子不用太长，三分钟就够了。");
const QString firstTwo
    = QStringLiteral("dàjiāhǎohuānyíngláidàojīntiāndejiémù jīntiānwǒmenliáoyīliáozěnyàngpāiyīduànhǎoshìpín");
const QString third = QStringLiteral(" shǒuxiānyàozhǔnbèiyītáixiàngjīhéyīzhīhuàtǒng");

// Ticks until the motion stops, at most `seconds`.
void settle(FollowSimulation &run, double seconds = 3)
{
    const double end = run.now() + seconds;
    while (run.follower().isMoving() && run.now() < end) {
        run.advanceTo(run.now() + FollowSimulation::tick);
    }
}
} // namespace

TEST(VoiceFollower, FollowsOnlyWhileOnRunningShownAndListening)
{
    FollowSimulation run(script);
    EXPECT_TRUE(run.follower().isActive());
    // The timer keeps out while following is on, whatever the button says.
    EXPECT_EQ(run.state().scroller()->scrollTimer(), nullptr);

    run.state().setIsVoiceFollowing(false);
    EXPECT_FALSE(run.follower().isActive());
    EXPECT_NE(run.state().scroller()->scrollTimer(), nullptr);
    run.follower().setTranscript(firstTwo);
    run.advanceTo(2);
    EXPECT_EQ(run.state().scrollOffset(), 0) << "the timer's ticks are not run here; nothing else may move";

    run.state().setIsVoiceFollowing(true);
    EXPECT_TRUE(run.follower().isActive());
    run.state().setIsTeleprompterVisible(false);
    EXPECT_FALSE(run.follower().isActive());
    run.state().setIsTeleprompterVisible(true);
    run.follower().setListening(false);
    EXPECT_FALSE(run.follower().isActive());
    run.follower().setListening(true);
    run.state().setIsScrolling(false);
    EXPECT_FALSE(run.follower().isActive());
    EXPECT_EQ(run.state().scroller()->scrollTimer(), nullptr);
    run.state().setIsScrolling(true);
    EXPECT_TRUE(run.follower().isActive());

    // What was heard while not following does not move the text later.
    run.follower().setTranscript(firstTwo);
    run.advanceTo(4);
    EXPECT_EQ(run.state().scrollOffset(), 0);
}

TEST(VoiceFollower, EasesForwardThenHoldsStillAndPauseKeepsThePlace)
{
    FollowSimulation run(script);
    run.follower().setTranscript(firstTwo);
    const double target = run.follower().targetOffset();
    ASSERT_GT(target, 0);
    run.advanceTo(FollowSimulation::tick);
    const double first = run.state().scrollOffset();
    EXPECT_GT(first, 0);
    EXPECT_LT(first, target) << "one tick is a step, not the whole way";
    settle(run);
    EXPECT_FALSE(run.follower().isMoving());
    EXPECT_EQ(run.state().scrollOffset(), target);
    // The line last read is about a third of the way down the box.
    const int line = run.lineOfScriptPosition(28);
    EXPECT_LE(std::abs(run.lineAtReadingLine(target) - line), 1);

    // "暂停": reading on moves nothing; "开始": on from the same place.
    run.state().scroller()->toggleScrolling();
    run.follower().setTranscript(firstTwo + third);
    run.advanceTo(run.now() + 2);
    EXPECT_EQ(run.state().scrollOffset(), target);
    run.state().scroller()->toggleScrolling();
    run.follower().setTranscript(firstTwo + third + QStringLiteral("guāngxiànyàoróuhé"));
    settle(run);
    EXPECT_GT(run.state().scrollOffset(), target);
}

TEST(VoiceFollower, NewLayoutKeepsTheLineReadAndAnotherScriptStartsFromWhatIsInView)
{
    FollowSimulation run(script);
    run.follower().setTranscript(firstTwo + third);
    settle(run);
    const int readLine = run.lineAtReadingLine(run.state().scrollOffset());
    const QTextLine shown = run.layout().textLayout().lineAt(run.layout().lines()[size_t(readLine)].textLine);
    const int character = shown.textStart() - TeleprompterLayout::leadingBreaks;

    // Larger type: the text is laid out anew and the same place comes back.
    run.state().setTeleprompterFontSize(40);
    run.view().update();
    run.advanceTo(run.now() + FollowSimulation::tick);
    settle(run);
    const int again = run.lineAtReadingLine(run.state().scrollOffset());
    EXPECT_LE(std::abs(again - run.lineOfScriptPosition(character)), 1);

    // Another script keeps the offset and follows on from the line in view.
    const double offset = run.state().scrollOffset();
    run.state().setTeleprompterText(script + script);
    EXPECT_EQ(run.state().scrollOffset(), offset);
    EXPECT_GT(run.follower().tracker().unitsRead(), 0);
    run.follower().setTranscript(QString());
    run.follower().setTranscript(QStringLiteral("pengyouliaotian"));
    settle(run);
    EXPECT_GE(run.state().scrollOffset(), offset);
}

TEST(VoiceFollower, ListenerCommandsStillWorkAndTheStopPhraseMovesNothing)
{
    RecordingViewState state;
    state.setTeleprompterText(script);
    state.setIsTeleprompterVisible(true);
    TeleprompterView view(&state);
    view.resize(560, 300);
    SpeechRecognitionManager listener(SpeechRecognizer::create(QStringLiteral("zh-CN")),
        std::make_unique<AudioEngine>(
            std::make_unique<WavFileInput>(VoiceClips::stopThenStart(), 2.0)),
        nullptr);
    VoiceFollower *follower = VoiceFollower::attach(&state, &view, &listener);
    ASSERT_EQ(follower->parent(), &view);
    QStringList commands;
    listener.setOnStopCommand([&] { commands << QStringLiteral("stop"); });
    listener.setOnStartCommand([&] { commands << QStringLiteral("start"); });
    state.setIsVoiceFollowing(true);
    state.setIsScrolling(true);
    listener.startListening();
    EXPECT_TRUE(follower->isActive());

    ASSERT_TRUE(MainLoop::waitUntil([&] { return commands.size() >= 2; }, 15000));
    EXPECT_EQ(commands, (QStringList{QStringLiteral("stop"), QStringLiteral("start")}));
    MainLoop::spin(500);
    // The restarts in between toggle listening; the follower is still on.
    EXPECT_TRUE(follower->isActive());
    EXPECT_EQ(state.scrollOffset(), 0);
    listener.stopListening();
    EXPECT_FALSE(follower->isActive());
}
