// The alignment on syllable streams made from the script itself, with the
// faults a reading has: misheard syllables, a skipped sentence, a repeat,
// noise, a command phrase, readings of 多音字, a script in English.
#include "voice/PinyinTable.h"
#include "voice/ReadingTracker.h"
#include "voice/ScriptAligner.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {
const QString script
    = QStringLiteral("大家好，欢迎来到今天的节目。今天我们聊一聊怎样拍一段好视频。首先要准备一台相机和一支话筒。"
                     "光线要柔和，背景要干净。说话的时候看着镜头，就像和朋友聊天。稿子不用太长，三分钟就够了。");

// Sentence boundaries: index of the first unit of each sentence, and the end.
std::vector<int> sentenceStarts(const std::vector<ScriptUnit> &units)
{
    std::vector<int> starts{0};
    for (int i = 0; i < int(units.size()); ++i) {
        if (i > 0
            && script.mid(units[size_t(i - 1)].position, units[size_t(i)].position - units[size_t(i - 1)].position)
                   .contains(u'。')) {
            starts.push_back(i);
        }
    }
    starts.push_back(int(units.size()));
    return starts;
}

// The first reading of each unit, every `missEvery`th one replaced by a
// syllable the script does not have nearby.
std::vector<int> spoken(const std::vector<ScriptUnit> &units, int from, int to, int missEvery = 0)
{
    std::vector<int> ids;
    for (int i = from; i < to; ++i) {
        const bool missed = missEvery > 0 && i % missEvery == missEvery - 1;
        ids.push_back(missed ? PinyinTable::syllableId(QStringLiteral("pen")) : units[size_t(i)].alternatives[0]);
    }
    return ids;
}

class FollowAlignment : public ::testing::Test {
protected:
    FollowAlignment()
    {
        aligner.setUnits(ScriptSyllables::fromText(script));
        starts = sentenceStarts(aligner.units());
    }

    // Hears the syllables; the position must never go back.
    void hear(const std::vector<int> &ids)
    {
        for (const int id : ids) {
            const int before = aligner.position();
            ASSERT_GE(aligner.hear(id), before);
        }
    }

    ScriptAligner aligner;
    std::vector<int> starts;
};
} // namespace

TEST_F(FollowAlignment, ReadingWithMisheardSyllablesKeepsUpAndNeverGoesBack)
{
    ASSERT_EQ(starts.size(), 7u);
    for (size_t s = 0; s + 1 < starts.size(); ++s) {
        hear(spoken(aligner.units(), starts[s], starts[s + 1], 3));
        // At each sentence end, within two units of it.
        EXPECT_LE(std::abs(aligner.position() - starts[s + 1]), 2) << "sentence " << s;
    }
}

TEST_F(FollowAlignment, SkippedSentenceIsCaughtUpAndRepeatedOneDoesNotRunAhead)
{
    hear(spoken(aligner.units(), starts[0], starts[2]));
    // Sentence 2 is left out; by the end of sentence 3 the position is there.
    hear(spoken(aligner.units(), starts[3], starts[4], 4));
    EXPECT_LE(std::abs(aligner.position() - starts[4]), 2);

    // Sentence 3 again, then on to 4.
    const int end = aligner.position();
    for (const int id : spoken(aligner.units(), starts[3], starts[4])) {
        aligner.hear(id);
        EXPECT_LE(aligner.position(), end + 1);
    }
    hear(spoken(aligner.units(), starts[4], starts[5]));
    EXPECT_LE(std::abs(aligner.position() - starts[5]), 2);
}

TEST_F(FollowAlignment, NoiseNeverJumpsAheadAndARestartGoesBackToWhereItSays)
{
    hear(spoken(aligner.units(), starts[0], starts[1]));
    const int before = aligner.position();
    const int bo = PinyinTable::syllableId(QStringLiteral("bo"));
    hear(std::vector<int>(10, bo));
    // A misheard stretch is more likely reading on than anything else, but
    // never faster than it is said.
    EXPECT_LE(aligner.position() - before, 10);
    EXPECT_EQ(aligner.hear(-1), aligner.position());

    aligner.restart(0);
    EXPECT_EQ(aligner.position(), 0);
    hear(spoken(aligner.units(), starts[0], starts[1]));
    EXPECT_LE(std::abs(aligner.position() - starts[1]), 1);
}

TEST(FollowAlignmentReadings, EveryReadingOfAPolyphoneReadsOn)
{
    // 行 as xing and hang, 长 as chang and zhang, 重 as zhong and chong.
    const QString text = QStringLiteral("银行行长说重要的事，长城很长，重新来过不行");
    const QStringList readings[] = {
        {"yin", "hang", "hang", "zhang", "shuo", "zhong", "yao", "de", "shi", "chang", "cheng", "hen", "chang", "chong",
            "xin", "lai", "guo", "bu", "xing"},
        {"yin", "xing", "xing", "chang", "shuo", "chong", "yao", "de", "shi", "zhang", "cheng", "hen", "zhang", "zhong",
            "xin", "lai", "guo", "bu", "hang"},
    };
    for (const QStringList &heard : readings) {
        ScriptAligner aligner;
        aligner.setUnits(ScriptSyllables::fromText(text));
        for (const QString &syllable : heard) {
            aligner.hear(PinyinTable::syllableId(syllable));
        }
        EXPECT_EQ(aligner.position(), int(aligner.units().size())) << heard.join(u' ').toStdString();
    }
}

TEST(FollowAlignmentReadings, LatinWordsDoNotStallWhateverIsHeard)
{
    ScriptAligner aligner;
    aligner.setUnits(ScriptSyllables::fromText(QStringLiteral("Hello everyone, welcome to the show. Today: lights!")));
    ASSERT_EQ(aligner.units().size(), 8u);
    for (const char *syllable : {"hai", "lou", "ai", "wu", "wei", "kang", "tu", "de", "sou", "tu", "dei", "lai"}) {
        aligner.hear(PinyinTable::syllableId(QString::fromLatin1(syllable)));
    }
    EXPECT_GE(aligner.position(), 7);
}

TEST(FollowReadingTracker, StopPhraseDoesNotMoveAndReadingGoesOnAfterIt)
{
    // The stop phrase's syllables are right ahead in the script.
    ReadingTracker tracker;
    tracker.setScript(QStringLiteral("我们今天先拍到这里，然后停止。录制完成以后再剪辑。"));
    tracker.takeTranscript(QStringLiteral("wǒmenjīntiānxiānpāidàozhèlǐ"), 1.0);
    const int read = tracker.unitsRead();
    EXPECT_GE(read, 8);
    tracker.takeTranscript(QStringLiteral("wǒmenjīntiānxiānpāidàozhèlǐtíngzhǐlùzhì停止录制"), 2.0);
    tracker.flushHeld(5.0);
    EXPECT_EQ(tracker.unitsRead(), read);

    // The listener restarts: an empty transcript, then the new task's.
    tracker.takeTranscript(QString(), 2.5);
    tracker.takeTranscript(QStringLiteral("ránhòutíngzhǐ"), 3.0);
    EXPECT_FALSE(tracker.isHolding() && tracker.unitsRead() < read + 2);
    tracker.takeTranscript(QStringLiteral("ránhòutíngzhǐ lùzhìwánchéngyǐhòu"), 4.0);
    tracker.flushHeld(5.0);
    EXPECT_GE(tracker.unitsRead(), read + 8);
}

TEST(FollowReadingTracker, HeldSyllableIsLetGoAfterTheHoldTime)
{
    ReadingTracker tracker;
    tracker.setScript(QStringLiteral("大家好，我们开始吃饭吧"));
    tracker.takeTranscript(QStringLiteral("dàjiāhǎowǒmenkāishǐ"), 1.0);
    EXPECT_TRUE(tracker.isHolding());
    const int read = tracker.unitsRead();
    EXPECT_FALSE(tracker.flushHeld(1.0 + ReadingTracker::holdSeconds / 2));
    EXPECT_TRUE(tracker.flushHeld(1.0 + ReadingTracker::holdSeconds));
    EXPECT_GT(tracker.unitsRead(), read);
    EXPECT_FALSE(tracker.isHolding());
}
