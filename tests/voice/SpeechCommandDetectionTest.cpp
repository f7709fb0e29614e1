// Command detection alone: no recognizer, no audio, a clock the test sets.
#include "voice/SpeechRecognitionManager.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

namespace {
class SpeechCommandDetectionTest : public ::testing::Test {
protected:
    SpeechCommandDetectionTest() : manager(nullptr, nullptr, [this] { return now; })
    {
        manager.setOnStartCommand([this] { commands << QStringLiteral("start"); });
        manager.setOnStopCommand([this] { commands << QStringLiteral("stop"); });
    }

    // Detection at `seconds` on the test clock; returns the command line, if any.
    QString detect(const QString &text, double seconds = 100.0)
    {
        now = seconds;
        LogCapture log;
        manager.checkVoiceCommands(text);
        const QStringList lines = log.linesStartingWith(QStringLiteral("🎙️"));
        return lines.isEmpty() ? QString() : lines.first();
    }

    double now = 0.0;
    SpeechRecognitionManager manager;
    QStringList commands;
};

const QString stopLine = QStringLiteral("🎙️ 语音命令触发: 停止录制 (匹配关键词: %1)");
const QString startLine = QStringLiteral("🎙️ 语音命令触发: 开始录制 (匹配关键词: %1)");
} // namespace

TEST_F(SpeechCommandDetectionTest, KeywordAnywhereInTheTranscriptIsFound)
{
    EXPECT_EQ(detect(QStringLiteral("好的我们开始录制吧"), 10.0), startLine.arg(QStringLiteral("开始录制")));
    EXPECT_EQ(detect(QStringLiteral("现在结束录像"), 20.0), stopLine.arg(QStringLiteral("结束录像")));
    EXPECT_EQ(manager.lastHeardCommand(), QStringLiteral("✅ 识别到: 停止录制"));
    EXPECT_EQ(detect(QStringLiteral("今天天气很好"), 30.0), QString());
}

TEST_F(SpeechCommandDetectionTest, OnlySpaceFullwidthCommaAndFullStopAreIgnored)
{
    EXPECT_EQ(detect(QStringLiteral("开 始，录。制"), 10.0), startLine.arg(QStringLiteral("开始录制")));
    EXPECT_EQ(detect(QStringLiteral("开、始录制"), 20.0), QString());
    EXPECT_EQ(detect(QStringLiteral("停止,录制"), 30.0), QString());
}

TEST_F(SpeechCommandDetectionTest, StopWinsOverStartInEitherOrder)
{
    EXPECT_EQ(detect(QStringLiteral("开始录制然后停止录制"), 10.0), stopLine.arg(QStringLiteral("停止录制")));
    EXPECT_EQ(detect(QStringLiteral("停止录制开始录制"), 20.0), stopLine.arg(QStringLiteral("停止录制")));
}

TEST_F(SpeechCommandDetectionTest, ShortStopPhraseMatchesBeforeItsLongerForm)
{
    EXPECT_EQ(detect(QStringLiteral("结束录音"), 10.0), stopLine.arg(QStringLiteral("结束录")));
    EXPECT_EQ(detect(QStringLiteral("请停止录"), 20.0), stopLine.arg(QStringLiteral("停止录")));
    EXPECT_EQ(detect(QStringLiteral("开始录音"), 30.0), startLine.arg(QStringLiteral("开始录")));
}

TEST_F(SpeechCommandDetectionTest, CooldownIgnoresCommandsUpToAndIncludingPointEightSeconds)
{
    // The first command is never blocked, even at time zero.
    EXPECT_FALSE(detect(QStringLiteral("开始录制"), 0.0).isEmpty());
    EXPECT_TRUE(detect(QStringLiteral("停止录制"), 0.5).isEmpty());
    EXPECT_TRUE(detect(QStringLiteral("停止录制"), 0.8).isEmpty());
    EXPECT_FALSE(detect(QStringLiteral("停止录制"), 0.9).isEmpty());
    // An ignored command did not move the cooldown's start.
    EXPECT_TRUE(detect(QStringLiteral("开始录制"), 1.7).isEmpty());
    EXPECT_FALSE(detect(QStringLiteral("开始录制"), 1.75).isEmpty());
    // A transcript without a keyword does not start a cooldown either.
    EXPECT_TRUE(detect(QStringLiteral("你好"), 3.0).isEmpty());
    EXPECT_FALSE(detect(QStringLiteral("停止录制"), 3.1).isEmpty());
}

TEST_F(SpeechCommandDetectionTest, ActionsRunLaterOnTheMainThreadAndBadgeClears)
{
    detect(QStringLiteral("开始录制"), 10.0);
    EXPECT_TRUE(commands.isEmpty());
    MainLoop::drain();
    EXPECT_EQ(commands, QStringList{QStringLiteral("start")});
    detect(QStringLiteral("结束录制"), 20.0);
    MainLoop::drain();
    EXPECT_EQ(commands, (QStringList{QStringLiteral("start"), QStringLiteral("stop")}));
    EXPECT_EQ(manager.lastHeardCommand(), QStringLiteral("✅ 识别到: 停止录制"));
}
