// Voice commands on the generated evaluation set (tests/generate-voice-clips.sh
// full: the nine keywords alone and in sentences, several voices, clean, in a
// reverberant room, in noise and at a low level, plus script sentences that
// hold no command) and on the model's own real speech:
// - recall per keyword, and per condition, voice and kind of clip;
// - false triggers per hour of non-command speech, and wrong commands;
// - latency from the end of the phrase to the keyword, and to the command
//   action through the whole listener at real-time pace;
// - CPU of the gain stage and the decoder per second of audio, and of the
//   listener while it listens.
// The same set without the gain stage is the baseline.
//
//   voice_bench [--set full|tests] [--no-baseline] [--errors] [--keywords FILE]
//
// --errors lists every missed clip and every false trigger; --keywords
// measures another keyword list (the spotter's format).
#include "platform/speech/AudioEngine.h"
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/KeywordDecoder.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFile.h"
#include "platform/speech/WavFileInput.h"
#include "support/TestPaths.h"
#include "voice/SpeechRecognitionManager.h"

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

QList<Clip> loadClips(const QString &set)
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
        if (hit && clip.condition == QStringLiteral("clean")) {
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
    const QStringList conditions{
        QStringLiteral("clean"), QStringLiteral("reverb"), QStringLiteral("noise"), QStringLiteral("quiet")};
    std::printf("  recall per keyword (all | %s):\n", qPrintable(conditions.join(QStringLiteral(" | "))));
    Tally all;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        const Tally total = run.perKeyword.value(keyword.label);
        all.hits += total.hits;
        all.clips += total.clips;
        QString row = QStringLiteral("    %1 %2").arg(keyword.label, -5).arg(total.text(), -18);
        for (const QString &condition : conditions) {
            row += QStringLiteral(" | %1").arg(
                run.perKeywordCondition.value(keyword.label).value(condition).text(), -18);
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
    std::printf("  keyword reported after the end of the phrase: mean %.2f s, worst %.2f s (%lld clean clips)\n",
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
    double latency = -1.0;
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
        if (live.latency < 0) {
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

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int setAt = int(args.indexOf(QStringLiteral("--set")));
    const QString set = setAt > 0 && setAt + 1 < args.size() ? args[setAt + 1] : QStringLiteral("full");
    const bool errors = args.contains(QStringLiteral("--errors"));
    QByteArray keywordLines;
    if (const int at = int(args.indexOf(QStringLiteral("--keywords"))); at > 0 && at + 1 < args.size()) {
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
    const QList<Clip> clips = loadClips(set);
    double seconds = 0.0;
    for (const Clip &clip : clips) {
        seconds += double(clip.samples.size()) / SpeechEngine::sampleRate;
    }
    std::printf(
        "%lld clips, %.2f h of audio (set \"%s\")\n", (long long)clips.size(), seconds / 3600.0, qPrintable(set));
    print("with the gain stage (shipped)", evaluate(engine, clips, true), errors);
    if (!args.contains(QStringLiteral("--no-baseline"))) {
        print("without the gain stage (baseline)", evaluate(engine, clips, false), errors);
    }

    std::printf("\n== through the listener, real-time pace ==\n");
    double worst = 0.0, sum = 0.0;
    int heard = 0, tried = 0;
    for (const Clip &clip : clips) {
        if (clip.kind == QStringLiteral("alone") && clip.condition == QStringLiteral("clean")
            && clip.voice == QStringLiteral("m1")) {
            const Live live = listen(clip.path, 2000);
            tried += 1;
            if (live.latency >= 0) {
                heard += 1;
                sum += live.latency;
                worst = std::max(worst, live.latency);
            }
            if (live.latency >= 0) {
                std::printf("  %-8s end of phrase to command action %5.2f s\n", qPrintable(clip.label), live.latency);
            } else {
                std::printf("  %-8s not heard\n", qPrintable(clip.label));
            }
        }
    }
    std::printf("  heard %d/%d, mean %.2f s, worst %.2f s\n", heard, tried, heard ? sum / heard : 0.0, worst);
    // Half a minute of script sentences: what listening costs while the speaker reads.
    QStringList reading;
    for (const Clip &clip : clips) {
        if (clip.kind == QStringLiteral("negative") && clip.condition == QStringLiteral("quiet")
            && reading.size() < 8) {
            reading << clip.path;
        }
    }
    if (!reading.isEmpty()) {
        const QString joined = QDir::temp().filePath(QStringLiteral("voice-bench-reading.wav"));
        QProcess::execute(QStringLiteral("sox"), reading + QStringList{joined});
        const Live live = listen(joined, 0);
        std::printf(
            "  CPU while listening to quiet reading (gain stage on): %.1f %% of one core\n", 100.0 * live.cpuShare);
        QFile::remove(joined);
    }
    return 0;
}
