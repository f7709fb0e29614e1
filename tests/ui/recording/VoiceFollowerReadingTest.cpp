// The teleprompter following readings through the real engine: a paragraph
// of 21 sentences of the real speaker's words read with pauses, one sentence
// skipped and one read twice; a reset in the middle of a reading; a script in
// English only (espeak-ng's English voice).
#include "FollowSimulation.h"

#include "ui/recording/TeleprompterScroller.h"

#include <gtest/gtest.h>

using namespace FollowReading;

namespace {
// What a sentence's end must look like: the line of its last syllable at the
// reading line, give or take one, shortly after it is said.
void expectTracked(FollowSimulation &run, const Reading &reading, const Sentence &sentence, double settle = 0.45)
{
    const Syllable &last = reading.syllables[size_t(sentence.firstSyllable + sentence.syllableCount - 1)];
    const int truth = run.lineOfScriptPosition(last.textPosition);
    const int shown = run.lineAtReadingLine(run.offsetAt(sentence.end + settle));
    EXPECT_LE(std::abs(shown - truth), 1) << "sentence " << sentence.index << " ending at " << sentence.end
                                          << " s shows line " << shown << " instead of " << truth;
}

void expectNeverBack(const std::vector<FollowSimulation::Sample> &samples, double from, double to)
{
    double previous = -1;
    for (const FollowSimulation::Sample &sample : samples) {
        if (sample.time < from || sample.time > to) {
            continue;
        }
        ASSERT_GE(sample.offset, previous) << "the text went back at " << sample.time << " s";
        previous = sample.offset;
    }
}
} // namespace

TEST(VoiceFollowerReading, FollowsParagraphWithPausesSkipAndRepeat)
{
    // Sentence 9 is left out, 13 is read twice, and there are two pauses.
    QList<Step> plan;
    for (int s = 0; s < recordedScript().size(); ++s) {
        if (s == 9) {
            continue;
        }
        plan << Step::read(s);
        if (s == 13) {
            plan << Step::read(s);
        }
        if (s == 4 || s == 16) {
            plan << Step::pause(3.5);
        }
    }
    const Reading reading = recordedReading(plan);
    ASSERT_EQ(reading.sentences.size(), 21u);
    const std::vector<Transcript> heard = transcripts(reading.samples);
    ASSERT_FALSE(heard.empty()) << "the engine heard nothing";

    FollowSimulation run(recordedParagraph());
    run.play(heard, 0, reading.seconds());
    const std::vector<FollowSimulation::Sample> &samples = run.samples();
    ASSERT_GT(run.offsetAt(reading.seconds()), run.view().maximumOffset() * 0.8) << "the text did not get to the end";

    expectNeverBack(samples, 0, reading.seconds());

    for (size_t k = 0; k < reading.sentences.size(); ++k) {
        const Sentence &sentence = reading.sentences[k];
        // The one after the gap may still be catching up; the next must not.
        if (sentence.index == 10) {
            continue;
        }
        expectTracked(run, reading, sentence);
    }

    // Each pause holds still once the last words are in.
    for (size_t k = 0; k + 1 < reading.sentences.size(); ++k) {
        const Sentence &before = reading.sentences[k];
        const Sentence &after = reading.sentences[k + 1];
        if (after.start - before.end < 3) {
            continue;
        }
        const double held = run.offsetAt(before.end + 1.2);
        for (const FollowSimulation::Sample &sample : samples) {
            if (sample.time > before.end + 1.2 && sample.time < after.start) {
                ASSERT_EQ(sample.offset, held) << "moved during the pause at " << sample.time << " s";
            }
        }
    }

    // While sentence 13 is read again, the text stays within half a line of
    // its end.
    const auto repeat = std::find_if(reading.sentences.begin() + 1, reading.sentences.end(),
        [&](const Sentence &s) { return s.index == 13 && (&s - 1)->index == 13; });
    ASSERT_NE(repeat, reading.sentences.end());
    const Syllable &end13 = reading.syllables[size_t(repeat->firstSyllable + repeat->syllableCount - 1)];
    const TeleprompterLayout::Line &line13 = run.layout().lines()[size_t(run.lineOfScriptPosition(end13.textPosition))];
    const double limit = line13.top + line13.height + line13.paragraphSpacing + line13.height / 2;
    for (const FollowSimulation::Sample &sample : samples) {
        if (sample.time >= repeat->start && sample.time <= repeat->end + 0.45) {
            ASSERT_LE(std::min(sample.offset, run.view().maximumOffset()) + run.follower().readingLineY(), limit)
                << "ran ahead during the repeat at " << sample.time << " s";
        }
    }
}

TEST(VoiceFollowerReading, ResetGoesBackToTheTopAndFollowsFromThere)
{
    QList<Step> first;
    for (int s = 0; s < 6; ++s) {
        first << Step::read(s);
    }
    QList<Step> again = {Step::read(0), Step::read(1), Step::read(2), Step::read(3), Step::read(4)};
    const Reading before = recordedReading(first);
    const Reading after = recordedReading(again);

    FollowSimulation run(recordedParagraph());
    run.play(transcripts(before.samples), 0, before.seconds());
    const double reached = run.state().scrollOffset();
    ASSERT_GT(reached, 0);

    // "重置", then "开始": a new recognition task starts from an empty transcript.
    run.state().scroller()->resetScrolling();
    EXPECT_EQ(run.state().scrollOffset(), 0);
    run.follower().setTranscript(QString());
    run.state().scroller()->toggleScrolling();
    EXPECT_TRUE(run.follower().isActive());

    const double start = run.now();
    for (const Transcript &t : transcripts(after.samples)) {
        run.advanceTo(start + t.time);
        run.follower().setTranscript(t.text);
    }
    run.advanceTo(start + after.seconds());
    expectNeverBack(run.samples(), start, run.now());
    for (Sentence sentence : after.sentences) {
        sentence.end += start;
        expectTracked(run, after, sentence);
    }
    EXPECT_LT(run.state().scrollOffset(), reached + 1);
}

TEST(VoiceFollowerReading, LatinOnlyScriptDoesNotStall)
{
    const QStringList sentences = latinScript();
    const Reading reading = latinReading();
    FollowSimulation run(paragraph(sentences, QStringLiteral(" ")));
    ASSERT_GT(run.view().maximumOffset(), 100);
    run.play(transcripts(reading.samples), 0, reading.seconds());
    expectNeverBack(run.samples(), 0, reading.seconds());

    // By the end of each sentence the text has moved on, and the last one
    // ends near the end of the text.
    double previous = 0;
    int moves = 0;
    for (const Sentence &sentence : reading.sentences) {
        const double offset = run.offsetAt(sentence.end + 0.45);
        moves += offset > previous ? 1 : 0;
        previous = offset;
    }
    EXPECT_GE(moves, int(reading.sentences.size()) - 2);
    const int lastLine = run.lineOfScriptPosition(int(paragraph(sentences, QStringLiteral(" ")).size()) - 1);
    EXPECT_GE(run.lineAtReadingLine(run.state().scrollOffset()), lastLine - 2);
}
