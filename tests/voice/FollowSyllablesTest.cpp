// What voice following reads and hears: the reading table, the script as
// units, the transcript as syllables, and command phrases kept out.
#include "voice/CommandSyllableFilter.h"
#include "voice/PinyinTable.h"
#include "voice/ScriptSyllables.h"
#include "voice/TranscriptSyllables.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {
int id(const char *syllable)
{
    return PinyinTable::syllableId(QString::fromUtf8(syllable));
}

std::vector<int> ids(const QString &spaced)
{
    std::vector<int> list;
    for (const QString &syllable : spaced.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        list.push_back(syllable.size() == 1 && syllable.at(0).isUpper() ? PinyinTable::letterId(syllable.at(0))
                                                                        : PinyinTable::syllableId(syllable));
    }
    return list;
}

QString spelled(const std::vector<int> &list)
{
    QStringList words;
    for (const int i : list) {
        words << PinyinTable::spelling(i);
    }
    return words.join(QLatin1Char(' '));
}

QStringList readings(char32_t character)
{
    QStringList list;
    for (const uint16_t reading : PinyinTable::readings(character)) {
        list << PinyinTable::spelling(reading);
    }
    return list;
}
} // namespace

TEST(FollowPinyinTable, PolyphonesHaveEveryReadingAndTheIdeographsAreCovered)
{
    EXPECT_TRUE(readings(U'行').contains(QStringLiteral("xing")));
    EXPECT_TRUE(readings(U'行').contains(QStringLiteral("hang")));
    EXPECT_TRUE(readings(U'长').contains(QStringLiteral("chang")));
    EXPECT_TRUE(readings(U'长').contains(QStringLiteral("zhang")));
    EXPECT_TRUE(readings(U'重').contains(QStringLiteral("zhong")));
    EXPECT_TRUE(readings(U'重').contains(QStringLiteral("chong")));
    EXPECT_EQ(readings(U'绿'), QStringList({QStringLiteral("lü"), QStringLiteral("lu")}));
    // Tones are gone and no reading appears twice: 好 hǎo and hào are one.
    EXPECT_EQ(readings(U'好'), QStringList{QStringLiteral("hao")});
    EXPECT_TRUE(readings(U'a').isEmpty());

    int covered = 0;
    for (char32_t c = 0x4E00; c <= 0x9FFF; ++c) {
        covered += PinyinTable::readings(c).empty() ? 0 : 1;
    }
    EXPECT_GT(covered, 0.99 * (0x9FFF - 0x4E00 + 1));
    EXPECT_FALSE(PinyinTable::readings(0x3400).empty()); // extension A
    EXPECT_FALSE(PinyinTable::readings(0x20000).empty()); // extension B

    for (int i = 0; i < PinyinTable::syllableCount(); ++i) {
        ASSERT_EQ(PinyinTable::syllableId(PinyinTable::spelling(i)), i);
    }
    EXPECT_EQ(PinyinTable::letterId(u'a'), PinyinTable::letterId(u'A'));
    EXPECT_TRUE(PinyinTable::isLetter(PinyinTable::letterId(u'Z')));
    EXPECT_EQ(PinyinTable::spelling(PinyinTable::letterId(u'q')), QStringLiteral("Q"));
    EXPECT_EQ(PinyinTable::letterId(u'1'), -1);
}

TEST(FollowScriptSyllables, HanziNumbersLettersAndWordsBecomeUnitsPunctuationNothing)
{
    const QString script = QStringLiteral("我用AI写了Python，共12行、2024年！𠀀");
    const std::vector<ScriptUnit> units = ScriptSyllables::fromText(script);
    QStringList seen;
    for (const ScriptUnit &unit : units) {
        QStringList alternatives;
        for (int i = 0; i < unit.alternativeCount; ++i) {
            alternatives << PinyinTable::spelling(unit.alternatives[size_t(i)]);
        }
        seen << QStringLiteral("%1:%2")
                    .arg(unit.position)
                    .arg(unit.kind == ScriptUnit::Wildcard ? QStringLiteral("*") : alternatives.first());
    }
    EXPECT_EQ(seen,
        QStringList({"0:wo", "1:yong", "2:A", "3:I", "4:xie", "5:le", "6:*", "13:gong", "14:shi", "15:er", "16:xing",
            "18:er", "19:ling", "20:er", "21:si", "22:nian", "24:he"}))
        << seen.join(u' ').toStdString();
    // 12 is said shi er, not yi er; a two-digit number with a 1 in front has no yi.
    EXPECT_TRUE(units[9].accepts(id("er")));
    EXPECT_FALSE(units[8].accepts(id("yi")));
    // 行 is any of its readings, a digit 2 either er or liang.
    EXPECT_TRUE(units[10].accepts(id("hang")));
    EXPECT_TRUE(units[10].accepts(id("xing")));
    EXPECT_TRUE(units[11].accepts(id("liang")));
    EXPECT_TRUE(units[6].accepts(id("pai")));

    // Fullwidth digits read like ASCII ones; every position is kept.
    const std::vector<ScriptUnit> wide = ScriptSyllables::fromText(QStringLiteral("第１０名"));
    ASSERT_EQ(wide.size(), 3u);
    EXPECT_TRUE(wide[1].accepts(id("shi")));
    EXPECT_EQ(wide[2].position, 3);
    EXPECT_TRUE(ScriptSyllables::fromText(QStringLiteral("，。！？ —— …")).empty());
}

TEST(FollowTranscriptSyllables, PinyinRunTogetherSplitsIntoSyllables)
{
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("duìwǒzuòlejièshàome wǒxiǎngshuōdeshì"))),
        QStringLiteral("dui wo zuo le jie shao me wo xiang shuo de shi"));
    // The fewest syllables, each with at most one tone mark, a consonant
    // rather than a vowel to start the next.
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("dānǐ"))), QStringLiteral("da ni"));
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("xīān"))), QStringLiteral("xi an"));
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("xiān"))), QStringLiteral("xian"));
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("wǒmen"))), QStringLiteral("wo men"));
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("lǜsèlüè"))), QStringLiteral("lü se lüe"));
    // Decomposed tone marks count as well.
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("ha\u030Cohe\u0300"))), QStringLiteral("hao he"));
    // Command labels and other signs are passed over; capitals are letters.
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("tíngzhǐlùzhì停止录制，AIhǎo"))),
        QStringLiteral("ting zhi lu zhi A I hao"));
    // A final still to come: the initial, or a bare m or n, is no syllable yet.
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("nǐhǎozh"))), QStringLiteral("ni hao"));
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("nǐhǎon"))), QStringLiteral("ni hao"));
    EXPECT_EQ(spelled(TranscriptSyllables::parse(QStringLiteral("ńhǎo"))), QStringLiteral("n hao"));
}

TEST(FollowTranscriptSyllables, EachTranscriptAddsOnlyWhatIsNewAndARestartBeginsAgain)
{
    TranscriptSyllables transcript;
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("nǐh"))), QStringLiteral("ni"));
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("nǐhǎo"))), QStringLiteral("hao"));
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("nǐhǎo"))), QString());
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("nǐhǎo dàjiā"))), QStringLiteral("da jia"));
    // A syllable split anew by what follows: only the changed part comes again.
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("nǐhǎo dàjiādān"))), QStringLiteral("dan"));
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("nǐhǎo dàjiādānǐ"))), QStringLiteral("da ni"));
    // The listener restarts after a command: empty, then a new task's text.
    EXPECT_EQ(spelled(transcript.take(QString())), QString());
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("dà"))), QStringLiteral("da"));
    // A new task whose first text does not continue the old one.
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("wǒ"))), QStringLiteral("wo"));
    transcript.skip(QStringLiteral("wǒmen"));
    EXPECT_EQ(spelled(transcript.take(QStringLiteral("wǒmenhǎo"))), QStringLiteral("hao"));
}

TEST(FollowCommandFilter, CommandPhrasesAreDroppedAndEverythingElseGoesOnAfterAHold)
{
    CommandSyllableFilter filter;
    const auto feed = [&](const QString &spaced) {
        std::vector<int> out;
        for (const int i : ids(spaced)) {
            const std::vector<int> released = filter.push(i);
            out.insert(out.end(), released.begin(), released.end());
        }
        return spelled(out);
    };
    EXPECT_EQ(feed(QStringLiteral("da jia ting zhi lu zhi")), QStringLiteral("da jia"));
    EXPECT_FALSE(filter.isHolding());
    // "开始" of "开始吃饭" waits for what follows, then goes on.
    EXPECT_EQ(feed(QStringLiteral("kai shi")), QString());
    EXPECT_TRUE(filter.isHolding());
    EXPECT_EQ(feed(QStringLiteral("chi fan")), QStringLiteral("kai shi chi fan"));
    // The first syllable of a long stop phrase misheard: the rest still goes.
    EXPECT_EQ(feed(QStringLiteral("tian zhi lu zhi hao")), QStringLiteral("tian hao"));
    EXPECT_EQ(feed(QStringLiteral("kai shi lu xiang")), QString());
    // A long phrase with one later syllable misheard is a command too (the
    // decoder takes it as one); two slips are not.
    EXPECT_EQ(feed(QStringLiteral("jie fu lu zhi")), QString());
    EXPECT_EQ(feed(QStringLiteral("jie mu jin tian")), QStringLiteral("jie mu jin tian"));
    EXPECT_EQ(feed(QStringLiteral("kai xin lu ying")), QStringLiteral("kai xin lu ying"));
    // Nothing after a held syllable: it is let go.
    EXPECT_EQ(feed(QStringLiteral("jie")), QString());
    EXPECT_EQ(spelled(filter.flush()), QStringLiteral("jie"));
    EXPECT_FALSE(filter.isHolding());
}
