// Voice commands on the real speaker's words (tests/support/RealSpeech.h):
// the nine keywords alone and at the start, middle and end of sentences,
// near misses that share syllables with a keyword, and an hour of everyday
// sentences that hold no command, each clean, faster, slower, higher, lower,
// in a reverberant room, in pink noise and 20 dB quieter. Printed:
// - recall per keyword and condition, and wrong commands (a start heard as a
//   stop or the reverse);
// - false triggers per hour of non-command speech;
// - latency from the end of the phrase to the keyword, and to the command
//   action through the whole listener at real-time pace;
// - CPU of the gain stage and the decoder per second of audio, and of the
//   listener while it listens.
// The espeak-ng clips (tests/generate-voice-clips.sh) are a stress set,
// reported, not tuned for.
//
//   voice_bench [--hours H] [--condition-hours H] [--stress none|tests|full]
//               [--baseline] [--errors] [--keywords FILE]
//
// --hours: non-command speech in the clean condition (1); --condition-hours:
// in each other condition, the start of the same speech (0.25); --baseline
// also measures without the gain stage; --errors lists every missed clip and
// false trigger; --keywords measures another keyword list (the spotter's format).
#include "platform/speech/AudioEngine.h"
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/KeywordDecoder.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFile.h"
#include "platform/speech/WavFileInput.h"
#include "support/RealSpeech.h"
#include "support/TestPaths.h"
#include "voice/PinyinTable.h"
#include "voice/SpeechRecognitionManager.h"
#include "voice/VoiceClips.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

namespace {
struct Clip {
    QString path;
    QString label; // empty: no command
    QString voice;
    QString condition;
    QString kind;
    QString text;
    std::vector<float> samples;
};

double cpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID)
{
    timespec ts;
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

QList<Clip> loadStressClips(const QString &set)
{
    const QString script = TestPaths::sourceDir() + QStringLiteral("/tests/generate-voice-clips.sh");
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/voice-clips-") + set;
    if (QProcess::execute(QStringLiteral("bash"), {script, dir, set}) != 0) {
        std::fprintf(stderr, "clip generation failed\n");
        return {};
    }
    QList<Clip> clips;
    QFile manifest(dir + QStringLiteral("/manifest.tsv"));
    if (!manifest.open(QIODevice::ReadOnly)) {
        return {};
    }
    for (const QByteArray &line : manifest.readAll().split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (f.size() < 6) {
            continue;
        }
        Clip clip{dir + QLatin1Char('/') + f[0], f[1], f[2], f[3], f[4], f[5], {}};
        QString error;
        if (WavFile::read(clip.path, &clip.samples, &error)) {
            clips << clip;
        }
    }
    // The model's real speech holds none of the command phrases.
    const QString realSpeech = TestPaths::depsDir() + QStringLiteral("/models/kws-zh-wenetspeech-3.3M/test_wavs");
    for (const QString &name : QDir(realSpeech).entryList({QStringLiteral("*.wav")})) {
        Clip clip{realSpeech + QLatin1Char('/') + name, QString(), QStringLiteral("real"), QStringLiteral("clean"),
            QStringLiteral("negative"), name, {}};
        QString error;
        if (WavFile::read(clip.path, &clip.samples, &error)) {
            clips << clip;
        }
    }
    return clips;
}

QList<Clip> conditioned(const QString &label, const QString &kind, const QString &text, int variant)
{
    QList<Clip> clips;
    const RealSpeech::Spoken spoken = RealSpeech::say(text);
    if (!spoken.missing.isEmpty()) {
        std::printf("  left out, not recorded: %s in %s\n", qPrintable(spoken.missing), qPrintable(text));
        return clips;
    }
    for (const QString &condition : RealSpeech::conditions()) {
        clips << Clip{text, label, QStringLiteral("yue-tan"), condition, kind, text,
            RealSpeech::inCondition(spoken.samples, condition, variant)};
    }
    return clips;
}

// Near misses beyond the tests' own: a syllable of a phrase changed, or its
// words in another order.
QStringList moreNearMisses()
{
    return {QStringLiteral("接收 录+制"), QStringLiteral("开工 录像"), QStringLiteral("开始 了 录+制"),
        QStringLiteral("开关 录像"), QStringLiteral("开始 记录"), QStringLiteral("停留 录+制"),
        QStringLiteral("听取 录像"), QStringLiteral("开幕 录像"), QStringLiteral("开放 录+制"),
        QStringLiteral("结果 录+制"), QStringLiteral("开始 日"), QStringLiteral("录像 结束 了"),
        QStringLiteral("录音 停止 了"), QStringLiteral("开始 录取")};
}

// The keywords alone and in every carrier sentence, and the near misses, in every condition.
QList<Clip> realSpeechClips()
{
    QList<Clip> clips;
    int variant = 0;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        clips += conditioned(keyword.label, QStringLiteral("alone"), VoiceClips::spoken(keyword.label), variant++);
        for (const QString &carrier : VoiceClips::carriers()) {
            clips += conditioned(
                keyword.label, QStringLiteral("sentence"), VoiceClips::inSentence(keyword.label, carrier), variant++);
        }
    }
    for (const QString &text : VoiceClips::nearMisses() + VoiceClips::spotterNearMisses() + moreNearMisses()) {
        // 开始 录取 holds 开始录: a command by the substring rule, not a miss.
        const QString hanzi = QString(text).remove(u' ').remove(u'+');
        bool command = false;
        for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
            command = command || hanzi.contains(keyword.label);
        }
        if (!command) {
            clips += conditioned(QString(), QStringLiteral("near miss"), text, variant++);
        }
    }
    return clips;
}

// True when some reading of `hanzi` says a keyword's syllables in a row, as
// 开始路 or 停滞录 do: a command by its sound, whatever its characters.
bool soundsLikeAKeyword(const QString &hanzi)
{
    const QList<QStringList> starts{{QStringLiteral("kai"), QStringLiteral("shi")},
        {QStringLiteral("ting"), QStringLiteral("zhi")}, {QStringLiteral("jie"), QStringLiteral("shu")}};
    const auto reads = [](QChar c, const QString &syllable) {
        for (const uint16_t id : PinyinTable::readings(c.unicode())) {
            if (PinyinTable::spelling(id) == syllable) {
                return true;
            }
        }
        return false;
    };
    for (qsizetype i = 0; i + 2 < hanzi.size(); ++i) {
        for (const QStringList &start : starts) {
            if (reads(hanzi[i], start[0]) && reads(hanzi[i + 1], start[1])
                && reads(hanzi[i + 2], QStringLiteral("lu"))) {
                return true;
            }
        }
    }
    return false;
}

// Everyday sentences of the recorded words, none a command by its characters
// or its sound, said one after another with a pause between: `seconds` of
// them, in blocks of about five minutes. The same seed, the same speech.
struct Block {
    std::vector<float> samples;
    QList<QPair<double, QString>> sentences; // where each begins, and its text
};

QList<Block> everydaySpeech(double seconds)
{
    QStringList words;
    for (const QString &word : RealSpeech::vocabulary()) {
        bool han = true;
        for (const QChar c : word) {
            han = han && c.script() == QChar::Script_Han;
        }
        if (han) {
            words << word;
        }
    }
    std::mt19937 random(22);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    QList<Block> blocks;
    double total = 0;
    while (total < seconds && !words.isEmpty()) {
        Block block;
        while (double(block.samples.size()) / RealSpeech::sampleRate < 300 && total < seconds) {
            QString text;
            const int clauses = pick(1, 3);
            for (int c = 0; c < clauses; ++c) {
                const int count = pick(2, 5);
                for (int w = 0; w < count; ++w) {
                    text += words[pick(0, int(words.size()) - 1)] + (w + 1 < count ? u' ' : u'，');
                }
            }
            text.chop(1);
            const QString hanzi = QString(text).remove(u' ').remove(u'，');
            bool command = soundsLikeAKeyword(hanzi);
            for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
                command = command || hanzi.contains(keyword.label);
            }
            if (command) {
                continue;
            }
            const RealSpeech::Spoken spoken = RealSpeech::say(text + u'。', 0.0, 0.8);
            block.sentences.append({double(block.samples.size()) / RealSpeech::sampleRate, text});
            block.samples.insert(block.samples.end(), spoken.samples.begin(), spoken.samples.end());
            total += double(spoken.samples.size()) / RealSpeech::sampleRate;
        }
        blocks << block;
    }
    return blocks;
}

struct StreamRun {
    int falseTriggers = 0;
    double seconds = 0;
    double cpu = 0;
    QStringList errors;
};

// One continuous stream per block, as the listener hears a speaker read.
StreamRun evaluateStreams(
    const std::shared_ptr<SpeechEngine> &engine, const QList<Block> &blocks, const QString &condition, double seconds)
{
    StreamRun run;
    // Tempo changes move the sentences; their starts scale with it.
    const double scale = condition == QStringLiteral("faster") ? 1 / 1.25
        : condition == QStringLiteral("slower")                ? 1 / 0.8
                                                               : 1.0;
    int variant = 0;
    for (const Block &block : blocks) {
        if (run.seconds >= seconds) {
            break;
        }
        std::vector<float> samples = RealSpeech::inCondition(block.samples, condition, variant++);
        AutomaticGain gain;
        KeywordDecoder decoder(engine);
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const auto note = [&](const QStringList &heard) {
            const double at = decoder.consumedSeconds() / scale;
            QString text;
            for (const auto &sentence : block.sentences) {
                if (sentence.first <= at) {
                    text = sentence.second;
                }
            }
            for (const QString &word : heard) {
                run.errors << QStringLiteral("false %1 (%2) near \"%3\"").arg(word, condition, text);
            }
            run.falseTriggers += int(heard.size());
        };
        for (size_t i = 0; i < samples.size(); i += 1024) {
            const size_t n = std::min<size_t>(1024, samples.size() - i);
            gain.process(samples.data() + i, n);
            note(decoder.accept({samples.data() + i, n}));
        }
        note(decoder.finish());
        run.cpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        run.seconds += double(samples.size()) / RealSpeech::sampleRate;
    }
    return run;
}

// Where the voice falls silent: the last 10 ms frame well above the clip's floor.
double speechEndSeconds(const std::vector<float> &samples)
{
    constexpr size_t frame = 160;
    double floor = 1.0, loudest = 0.0;
    std::vector<double> levels;
    for (size_t i = 0; i + frame <= samples.size(); i += frame) {
        double energy = 0.0;
        for (size_t j = i; j < i + frame; ++j) {
            energy += double(samples[j]) * samples[j];
        }
        levels.push_back(std::sqrt(energy / frame));
        floor = std::min(floor, levels.back());
        loudest = std::max(loudest, levels.back());
    }
    const double threshold = std::max(floor * 4.0, loudest * 0.03);
    size_t last = 0;
    for (size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] > threshold) {
            last = i + 1;
        }
    }
    return double(last * frame) / SpeechEngine::sampleRate;
}

struct Tally {
    int hits = 0;
    int clips = 0;
    void add(bool hit)
    {
        hits += hit ? 1 : 0;
        clips += 1;
    }
    QString text() const
    {
        return clips ? QStringLiteral("%1/%2 = %3 %").arg(hits).arg(clips).arg(100.0 * hits / clips, 5, 'f', 1)
                     : QStringLiteral("-");
    }
};

struct Run {
    QMap<QString, Tally> perKeyword, perCondition, perVoice, perKind;
    QMap<QString, QMap<QString, Tally>> perKeywordCondition;
    int falseTriggers = 0;
    int wrongCommands = 0;
    int startHeardAsStop = 0;
    double negativeSeconds = 0.0;
    double audioSeconds = 0.0;
    double cpu = 0.0;
    QList<double> latencies;
    QStringList errors;
};

Run evaluate(const std::shared_ptr<SpeechEngine> &engine, const QList<Clip> &clips, bool withGain)
{
    Run run;
    constexpr size_t chunk = 1024;
    for (const Clip &clip : clips) {
        // Each clip is a fresh start: the gain has not heard this voice before.
        AutomaticGain gain;
        KeywordDecoder decoder(engine);
        std::vector<float> buffer;
        QStringList heard;
        double firstHeardAt = -1.0;
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        for (size_t i = 0; i < clip.samples.size(); i += chunk) {
            const size_t n = std::min(chunk, clip.samples.size() - i);
            buffer.assign(clip.samples.begin() + i, clip.samples.begin() + i + n);
            if (withGain) {
                gain.process(buffer.data(), n);
            }
            const QStringList found = decoder.accept(buffer);
            if (!found.isEmpty() && firstHeardAt < 0) {
                firstHeardAt = decoder.consumedSeconds();
            }
            heard += found;
        }
        heard += decoder.finish();
        run.cpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        const double seconds = double(clip.samples.size()) / SpeechEngine::sampleRate;
        run.audioSeconds += seconds;
        const QString name = QDir(clip.path).dirName();
        if (clip.label.isEmpty()) {
            run.falseTriggers += int(heard.size());
            run.negativeSeconds += seconds;
            if (!heard.isEmpty()) {
                run.errors << QStringLiteral("false %1 in %2 (%3)").arg(heard.join(u','), name, clip.text);
            }
            continue;
        }
        const bool stop = SpeechKeywords::isStop(clip.label);
        bool wrong = false;
        for (const QString &word : heard) {
            wrong = wrong || SpeechKeywords::isStop(word) != stop;
        }
        run.wrongCommands += wrong ? 1 : 0;
        run.startHeardAsStop += wrong && !stop ? 1 : 0;
        // A hit is the right command; a shorter phrase of the same command counts.
        const bool hit = !heard.isEmpty() && !wrong;
        run.perKeyword[clip.label].add(hit);
        run.perCondition[clip.condition].add(hit);
        run.perVoice[clip.voice].add(hit);
        run.perKind[clip.kind].add(hit);
        run.perKeywordCondition[clip.label][clip.condition].add(hit);
        if (!hit) {
            run.errors << QStringLiteral("%1 %2 (%3) heard [%4]")
                              .arg(wrong ? QStringLiteral("wrong") : QStringLiteral("missed"), name, clip.text,
                                  heard.join(u','));
        }
        // Only a keyword said last ends its clip's voice.
        if (hit && clip.condition == QStringLiteral("clean") && clip.kind == QStringLiteral("alone")) {
            run.latencies << firstHeardAt - speechEndSeconds(clip.samples);
        }
    }
    return run;
}

void printTable(const char *title, const QMap<QString, Tally> &tallies)
{
    std::printf("  %s:\n", title);
    for (auto it = tallies.begin(); it != tallies.end(); ++it) {
        std::printf("    %-10s %s\n", qPrintable(it.key()), qPrintable(it.value().text()));
    }
}

void print(const char *name, const Run &run, bool errors)
{
    std::printf("\n== %s ==\n", name);
    QStringList conditions;
    for (const QString &condition : RealSpeech::conditions() + run.perCondition.keys()) {
        if (run.perCondition.contains(condition) && !conditions.contains(condition)) {
            conditions << condition;
        }
    }
    std::printf("  recall per keyword, %% (all | %s):\n", qPrintable(conditions.join(QStringLiteral(" | "))));
    Tally all;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        const Tally total = run.perKeyword.value(keyword.label);
        all.hits += total.hits;
        all.clips += total.clips;
        QString row = QStringLiteral("    %1 %2").arg(keyword.label, -5).arg(total.text(), -18);
        for (const QString &condition : conditions) {
            const Tally tally = run.perKeywordCondition.value(keyword.label).value(condition);
            row += QStringLiteral(" | %1").arg(
                tally.clips ? QString::number(100.0 * tally.hits / tally.clips, 'f', 1) : QStringLiteral("-"),
                condition.size());
        }
        std::printf("%s\n", qPrintable(row));
    }
    std::printf("    all keywords: %s\n", qPrintable(all.text()));
    printTable("recall per condition", run.perCondition);
    printTable("recall per voice", run.perVoice);
    printTable("recall per kind", run.perKind);
    const double hours = run.negativeSeconds / 3600.0;
    std::printf("  false triggers: %d in %.2f h of non-command speech = %.2f per hour\n", run.falseTriggers, hours,
        hours > 0 ? run.falseTriggers / hours : 0.0);
    std::printf("  wrong commands: %d (start heard as stop: %d)\n", run.wrongCommands, run.startHeardAsStop);
    double sum = 0.0, worst = -1e9;
    for (double latency : run.latencies) {
        sum += latency;
        worst = std::max(worst, latency);
    }
    std::printf("  keyword reported after the end of the phrase: mean %.2f s, worst %.2f s (%lld clean clips, alone)\n",
        run.latencies.isEmpty() ? 0.0 : sum / run.latencies.size(), run.latencies.isEmpty() ? 0.0 : worst,
        (long long)run.latencies.size());
    std::printf("  CPU, gain stage and decoder: %.1f %% of one core (%.4f s per s of audio)\n",
        100.0 * run.cpu / run.audioSeconds, run.cpu / run.audioSeconds);
    if (errors) {
        for (const QString &error : run.errors) {
            std::printf("    %s\n", qPrintable(error));
        }
    }
}

// Through the whole listener with the clip played at real-time pace like a
// microphone: seconds from the end of the phrase to the command action, and
// the process's CPU share meanwhile.
struct Live {
    bool heard = false;
    double latency = 0.0; // below zero: acted on before the phrase's last sound
    double cpuShare = 0.0;
};

Live listen(const QString &wav, int extraMs)
{
    std::vector<float> samples;
    QString error;
    if (!WavFile::read(wav, &samples, &error)) {
        return {};
    }
    SpeechRecognitionManager listener(SpeechRecognizer::create(QStringLiteral("zh-CN")),
        std::make_unique<AudioEngine>(std::make_unique<WavFileInput>(wav, 1.0)), nullptr);
    QEventLoop loop;
    QElapsedTimer clock;
    Live live;
    const auto heard = [&] {
        if (!live.heard) {
            live.heard = true;
            live.latency = clock.nsecsElapsed() / 1e9 - speechEndSeconds(samples);
        }
    };
    listener.setOnStartCommand(heard);
    listener.setOnStopCommand(heard);
    listener.startListening();
    clock.start();
    const double cpuStart = cpuSeconds();
    QTimer::singleShot(int(samples.size() / 16) + extraMs, &loop, &QEventLoop::quit);
    loop.exec();
    live.cpuShare = (cpuSeconds() - cpuStart) / (clock.nsecsElapsed() / 1e9);
    listener.stopListening();
    return live;
}
} // namespace

double argument(const QStringList &args, const QString &name, double fallback)
{
    const qsizetype at = args.indexOf(name);
    return at > 0 && at + 1 < args.size() ? args[at + 1].toDouble() : fallback;
}

void printThresholds()
{
    std::printf("decisions rest on (src/platform/speech/SpeechKeywords.cpp, KeywordDecoder.cpp,\n"
                "src/voice/SpeechRecognitionManager.cpp):\n");
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        if (keyword.spotted) {
            std::printf("  %s: spotter boost %.1f, threshold %.2f, or all syllables from the recognizer\n",
                qPrintable(keyword.label), keyword.boostScore, keyword.threshold);
        } else {
            std::printf("  %s: not spotted; all syllables from the recognizer, in a row\n", qPrintable(keyword.label));
        }
    }
    std::printf("  a spotted phrase counts when the recognizer agrees within 0.6 s on all its\n"
                "  syllables (tones dropped, also across an endpoint); the same keyword\n"
                "  again within 1.0 s of audio is one report; commands within 0.8 s of the last\n"
                "  are ignored; the transcript must hold the keyword's exact Hanzi\n");
}

int main(int argc, char **argv)
{
    // Figures as they come, also into a file: the whole run takes minutes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    QElapsedTimer benchClock;
    benchClock.start();
    const QStringList args = app.arguments();
    const bool errors = args.contains(QStringLiteral("--errors"));
    const double hours = argument(args, QStringLiteral("--hours"), 1.0);
    const double conditionHours = argument(args, QStringLiteral("--condition-hours"), 0.25);
    const qsizetype stressAt = args.indexOf(QStringLiteral("--stress"));
    const QString stress = stressAt > 0 && stressAt + 1 < args.size() ? args[stressAt + 1] : QStringLiteral("tests");
    QByteArray keywordLines;
    if (const qsizetype at = args.indexOf(QStringLiteral("--keywords")); at > 0 && at + 1 < args.size()) {
        QFile file(args[at + 1]);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(args[at + 1]));
            return 1;
        }
        keywordLines = file.readAll();
    }

    QString error;
    const auto engine = SpeechEngine::load(SpeechEngineLocation::standard(), &error, keywordLines);
    if (!engine) {
        std::fprintf(stderr, "speech engine unavailable: %s\n", qPrintable(error));
        return 1;
    }
    if (!RealSpeech::available()) {
        std::fprintf(stderr, "no recorded words in %s\n", qPrintable(RealSpeech::wordsDir()));
        return 1;
    }
    printThresholds();

    std::printf("\n#### real speaker (%s) ####\n", qPrintable(RealSpeech::wordsDir()));
    const QList<Clip> clips = realSpeechClips();
    double seconds = 0.0;
    for (const Clip &clip : clips) {
        seconds += double(clip.samples.size()) / SpeechEngine::sampleRate;
    }
    std::printf("%lld keyword and near-miss clips, %.2f h of audio, %lld conditions\n", (long long)clips.size(),
        seconds / 3600.0, (long long)RealSpeech::conditions().size());
    const Run shipped = evaluate(engine, clips, true);
    print("keywords and near misses, with the gain stage (shipped)", shipped, errors);
    if (args.contains(QStringLiteral("--baseline"))) {
        print("keywords and near misses, without the gain stage (baseline)", evaluate(engine, clips, false), errors);
    }

    const QList<Block> everyday = everydaySpeech(std::max(hours, conditionHours) * 3600.0);
    std::printf("\n== everyday sentences, no command: false triggers ==\n");
    int falseTotal = 0;
    double everydaySeconds = 0, everydayCpu = 0;
    QStringList everydayErrors;
    for (const QString &condition : RealSpeech::conditions()) {
        const double limit = (condition == QStringLiteral("clean") ? hours : conditionHours) * 3600.0;
        const StreamRun run = evaluateStreams(engine, everyday, condition, limit);
        std::printf("  %-7s %d in %.2f h = %.2f per hour\n", qPrintable(condition), run.falseTriggers,
            run.seconds / 3600.0, run.seconds > 0 ? run.falseTriggers / (run.seconds / 3600.0) : 0.0);
        falseTotal += run.falseTriggers;
        everydaySeconds += run.seconds;
        everydayCpu += run.cpu;
        everydayErrors += run.errors;
    }
    std::printf("  all:    %d in %.2f h = %.2f per hour; CPU %.1f %% of one core\n", falseTotal,
        everydaySeconds / 3600.0, falseTotal / (everydaySeconds / 3600.0), 100.0 * everydayCpu / everydaySeconds);
    if (errors) {
        for (const QString &line : everydayErrors) {
            std::printf("    %s\n", qPrintable(line));
        }
    }

    if (stress != QStringLiteral("none")) {
        const QList<Clip> synthetic = loadStressClips(stress);
        std::printf("\n#### stress set: espeak-ng (set \"%s\", %lld clips), reported, not tuned for ####\n",
            qPrintable(stress), (long long)synthetic.size());
        print("espeak-ng, with the gain stage", evaluate(engine, synthetic, true), errors);
    }

    std::printf("\n== through the listener, real-time pace (real speaker, alone, clean) ==\n");
    double worst = -1e9, sum = 0.0;
    int heard = 0, tried = 0;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        const QString wav = VoiceClips::command(keyword.label);
        const Live live = listen(wav, 2000);
        tried += 1;
        if (live.heard) {
            heard += 1;
            sum += live.latency;
            worst = std::max(worst, live.latency);
            std::printf("  %-8s end of phrase to command action %5.2f s\n", qPrintable(keyword.label), live.latency);
        } else {
            std::printf("  %-8s not heard\n", qPrintable(keyword.label));
        }
    }
    std::printf("  heard %d/%d, mean %.2f s, worst %.2f s\n", heard, tried, heard ? sum / heard : 0.0, worst);
    // Half a minute of everyday sentences, quiet: what listening costs while the speaker reads.
    if (!everyday.isEmpty()) {
        const QString joined = QDir::temp().filePath(QStringLiteral("voice-bench-reading.wav"));
        const std::vector<float> &block = everyday.first().samples;
        std::vector<float> reading(
            block.begin(), block.begin() + qsizetype(std::min<size_t>(block.size(), 30 * 16000)));
        RealSpeech::writeWav(joined, RealSpeech::inCondition(reading, QStringLiteral("quiet")));
        const Live live = listen(joined, 0);
        std::printf(
            "  CPU while listening to quiet reading (gain stage on): %.1f %% of one core\n", 100.0 * live.cpuShare);
        QFile::remove(joined);
    }
    std::printf("\nbench ran %.0f s\n", benchClock.elapsed() / 1000.0);
    return 0;
}
