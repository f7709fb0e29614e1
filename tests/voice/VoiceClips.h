#pragma once

#include "support/RealSpeech.h"
#include "support/TestPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

// Spoken test clips of the real speaker (tests/support/RealSpeech.h), made
// once per build tree, and the texts the tests and bench/voice_bench.cpp say.
namespace VoiceClips {

// A keyword as said: its two words, then 录 with 制 or alone, or 录像.
inline QString spoken(const QString &keyword)
{
    return keyword.left(2) + QLatin1Char(' ') + keyword.mid(2);
}

// A keyword said alone, in a condition of RealSpeech::conditions().
inline QString command(const QString &keyword, const QString &condition = QStringLiteral("clean"))
{
    return RealSpeech::clip(spoken(keyword), condition);
}

// Sentences around a keyword, at the start, in the middle and at the end; @ is the keyword.
inline QStringList carriers()
{
    return {QStringLiteral("好，现在 @"), QStringLiteral("准备 好 了，@"), QStringLiteral("今天 的 内容 就 到 这里，@"),
        QStringLiteral("@ 吧"), QStringLiteral("那 就 @ 吧"), QStringLiteral("大家 好，现在 @ 吧"),
        QStringLiteral("@，大家 好"), QStringLiteral("好 了，@")};
}

inline QString inSentence(const QString &keyword, const QString &carrier)
{
    QString text = carrier;
    return text.replace(QLatin1Char('@'), spoken(keyword));
}

// Sentences that share syllables with a keyword and hold none: a command's
// first word with another word after it, its last word in another sense, a
// syllable of a keyword changed.
inline QStringList nearMisses()
{
    return {QStringLiteral("开始 上课"), QStringLiteral("停止 使用"), QStringLiteral("结束 了"),
        QStringLiteral("录音机"), QStringLiteral("记录 成绩"), QStringLiteral("录取"), QStringLiteral("比赛 结束 了"),
        QStringLiteral("开始 学习"), QStringLiteral("停止 工作"), QStringLiteral("结束 工作"), QStringLiteral("录用"),
        QStringLiteral("开学 了"), QStringLiteral("音乐 停止 了"), QStringLiteral("开始 入"),
        QStringLiteral("开+心 录+制"), QStringLiteral("节 目录 制"), QStringLiteral("今天 比赛 结束 了"),
        QStringLiteral("现在 开始 工作"), QStringLiteral("录音 已经 开始 了"),
        QStringLiteral("工作 结束 了，开始 学习")};
}

// One syllable from a long phrase: the spotter takes each of them for it,
// and the recognizer must hear what was said ("接受录像" is jie shou, not jie
// shu; "开设录制" kai she, not kai shi).
inline QStringList spotterNearMisses()
{
    return {QStringLiteral("开学 录+制"), QStringLiteral("结算 录+制"), QStringLiteral("接受 录像"),
        QStringLiteral("开设 录+制")};
}

// A stop command, three seconds of quiet, then a start command.
inline QString stopThenStart()
{
    static const QString path = [] {
        const QString file
            = QCoreApplication::applicationDirPath() + QStringLiteral("/real-speech/stop-then-start.wav");
        if (!QFile::exists(file)) {
            RealSpeech::Spoken both = RealSpeech::say(spoken(QStringLiteral("结束录制")), 0.5, 3.0);
            const RealSpeech::Spoken start = RealSpeech::say(spoken(QStringLiteral("开始录制")), 0.0, 1.0);
            both.samples.insert(both.samples.end(), start.samples.begin(), start.samples.end());
            QDir().mkpath(QFileInfo(file).path());
            const QString partial = file + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
            if (RealSpeech::writeWav(partial, both.samples) && !QFile::rename(partial, file)) {
                QFile::remove(partial);
            }
        }
        return file;
    }();
    return path;
}

// The keyword model's own recordings of real speech.
inline QString realSpeech(const QString &name)
{
    return TestPaths::depsDir() + QStringLiteral("/models/kws-zh-wenetspeech-3.3M/test_wavs/") + name;
}

inline QString modelFile(const QString &name)
{
    return TestPaths::depsDir() + QStringLiteral("/models/kws-zh-wenetspeech-3.3M/") + name;
}

} // namespace VoiceClips
