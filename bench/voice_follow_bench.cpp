// Voice following over a reading of a script by the real speaker's recorded
// words (tests/voice/follow-script-recorded.txt, the engine's recognizer), at
// box widths of 400, 560 and 1000 px: how long after a syllable is said its
// line reaches the reading line, how far the line at the reading line is from
// the one being read, and the processor time the follower adds to command
// detection, which runs on the same audio anyway. Goals: lag p95 under 0.6 s,
// line starts included; error at most one line. The espeak-ng reading of the
// older script follows as a stress set.
#include "../tests/ui/recording/FollowSimulation.h"
#include "../tests/voice/FollowReading.h"
#include "platform/speech/KeywordDecoder.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <numeric>

namespace {
using namespace FollowReading;

double cpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

double mean(const std::vector<double> &values)
{
    return values.empty() ? 0 : std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

struct Figures {
    std::vector<double> lags; // every syllable
    std::vector<double> lineStartLags; // the first syllable of each line
    std::vector<double> errors; // lines, sampled every tick while speaking
    double followCpu = 0;
};

// Plays the reading into the follower and measures it against the truth.
Figures follow(const QString &script, const Reading &reading, const std::vector<Transcript> &heard, int boxWidth)
{
    FollowSimulation run(script, QSize(boxWidth, 300));
    const double start = cpuSeconds();
    run.play(heard, 0, reading.seconds());
    Figures figures;
    figures.followCpu = cpuSeconds() - start;

    const double readingY = run.follower().readingLineY();
    const double furthest = run.view().maximumOffset();
    int previousLine = -1;
    for (const Syllable &syllable : reading.syllables) {
        const int line = run.lineOfScriptPosition(syllable.textPosition);
        const double top = run.layout().lines()[size_t(line)].top;
        // Lines that can never reach the reading line (the first few, the
        // last few at the end of the text) are there as soon as possible.
        const double needed = std::clamp(top - readingY, 0.0, furthest);
        double reached = reading.seconds();
        for (const FollowSimulation::Sample &sample : run.samples()) {
            if (std::min(sample.offset, furthest) >= needed - 0.5) {
                reached = sample.time;
                break;
            }
        }
        const double lag = std::max(0.0, reached - syllable.end);
        figures.lags.push_back(lag);
        if (line != previousLine) {
            if (getenv("DEBUG") && lag > 0.6)
                std::printf("  line %d sentence %d pos %d ends %.2f reached %.2f\n", line, syllable.sentence,
                    syllable.textPosition, syllable.end, reached);
            figures.lineStartLags.push_back(lag);
            previousLine = line;
        }
    }
    for (const Sentence &sentence : reading.sentences) {
        for (const FollowSimulation::Sample &sample : run.samples()) {
            if (sample.time < sentence.start || sample.time > sentence.end) {
                continue;
            }
            // The syllable being said: the first that has not ended yet.
            int current = sentence.firstSyllable;
            while (current + 1 < sentence.firstSyllable + sentence.syllableCount
                && reading.syllables[size_t(current)].end < sample.time) {
                ++current;
            }
            const int truth = run.lineOfScriptPosition(reading.syllables[size_t(current)].textPosition);
            figures.errors.push_back(std::abs(run.lineAtReadingLine(sample.offset) - truth));
        }
    }
    return figures;
}

// Command detection alone: what the listener's task does with the audio.
double detectionCpu(const Reading &reading)
{
    QString error;
    KeywordDecoder decoder(SpeechEngine::shared(&error));
    const double start = cpuSeconds();
    for (size_t i = 0; i < reading.samples.size(); i += 1024) {
        const size_t n = std::min<size_t>(1024, reading.samples.size() - i);
        decoder.accept(std::span<const float>(reading.samples.data() + i, n));
    }
    decoder.finish();
    return cpuSeconds() - start;
}

void report(const char *name, const Reading &reading, const Figures &figures, double detection)
{
    const double seconds = reading.seconds();
    std::printf("%s: %.0f s of speech, %zu syllables, %zu line starts\n", name, seconds, figures.lags.size(),
        figures.lineStartLags.size());
    std::printf("  lag to the reading line, every syllable:   mean %.2f s, p95 %.2f s, worst %.2f s\n",
        mean(figures.lags), percentile(figures.lags, 0.95), percentile(figures.lags, 1.0));
    std::printf("  lag to the reading line, first of a line:  mean %.2f s, p95 %.2f s, worst %.2f s\n",
        mean(figures.lineStartLags), percentile(figures.lineStartLags, 0.95), percentile(figures.lineStartLags, 1.0));
    std::printf("  tracking error: mean %.2f lines, worst %.0f lines, %.1f %% of the time more than one line\n",
        mean(figures.errors), percentile(figures.errors, 1.0),
        100.0 * double(std::count_if(figures.errors.begin(), figures.errors.end(), [](double e) { return e > 1; }))
            / double(std::max<size_t>(figures.errors.size(), 1)));
    std::printf("  processor: command detection %.2f %% of one core, following adds %.3f %% (%.1f ms)\n",
        100.0 * detection / seconds, 100.0 * figures.followCpu / seconds, 1000.0 * figures.followCpu);
}

// The whole script once, with three pauses, and again with a sentence left
// out and one read twice.
QList<Step> straightPlan(int sentences)
{
    QList<Step> plan;
    for (int s = 0; s < sentences; ++s) {
        plan << Step::read(s);
        if (s == 4 || s == 10 || s == 16) {
            plan << Step::pause(3);
        }
    }
    return plan;
}

QList<Step> unevenPlan(int sentences)
{
    QList<Step> plan;
    for (int s = 0; s < sentences; ++s) {
        if (s == 9) {
            continue;
        }
        plan << Step::read(s);
        if (s == 13) {
            plan << Step::read(s);
        }
        if (s == 4 || s == 16) {
            plan << Step::pause(3);
        }
    }
    return plan;
}
// The same reading a quarter faster (sox's tempo, pitch kept): the recorded
// words are said as citation forms, slower than running speech.
Reading faster(const Reading &reading)
{
    constexpr double tempo = 1.25;
    Reading quick = reading;
    quick.samples = RealSpeech::inCondition(reading.samples, QStringLiteral("faster"));
    for (Syllable &syllable : quick.syllables) {
        syllable.end /= tempo;
    }
    for (Sentence &sentence : quick.sentences) {
        sentence.start /= tempo;
        sentence.end /= tempo;
    }
    return quick;
}
} // namespace

int main(int argc, char **argv)
{
    // Figures as they come, also into a file: the whole run takes minutes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::printf("#### real speaker ####\n");
    const QString recorded = recordedParagraph();
    const int lines = int(recordedScript().size());
    const Reading reading = recordedReading(straightPlan(lines));
    const std::vector<Transcript> heard = transcripts(reading.samples);
    const double detection = detectionCpu(reading);
    for (const int width : {400, 560, 1000}) {
        const QByteArray name = QStringLiteral("straight reading, box %1 x 300").arg(width).toUtf8();
        report(name.constData(), reading, follow(recorded, reading, heard, width), detection);
    }
    const Reading quick = faster(reading);
    const std::vector<Transcript> quickHeard = transcripts(quick.samples);
    for (const int width : {400, 1000}) {
        const QByteArray name = QStringLiteral("straight reading a quarter faster, box %1 x 300").arg(width).toUtf8();
        report(name.constData(), quick, follow(recorded, quick, quickHeard, width), detection);
    }
    const Reading skipping = recordedReading(unevenPlan(lines));
    report("one sentence skipped, one repeated, box 560 x 300", skipping,
        follow(recorded, skipping, transcripts(skipping.samples), 560), detection);

    std::printf("\n#### stress set: espeak-ng reading of the older script ####\n");
    const Reading synthetic = chineseReading(straightPlan(int(chineseScript().size())));
    const std::vector<Transcript> syntheticHeard = transcripts(synthetic.samples);
    for (const int width : {400, 560}) {
        const QByteArray name = QStringLiteral("straight reading, box %1 x 300").arg(width).toUtf8();
        report(name.constData(), synthetic, follow(chineseParagraph(), synthetic, syntheticHeard, width), detection);
    }
    return 0;
}
