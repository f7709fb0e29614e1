// Keyword recall and false triggers of the voice command decoder on generated
// Mandarin clips and the model's own real speech, its detection latency and its
// CPU cost per second of audio. Each listener alone is measured as a baseline
// against the two together.
#include "platform/speech/KeywordDecoder.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/WavFile.h"
#include "platform/speech/WavFileInput.h"
#include "voice/SpeechRecognitionManager.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {
struct Clip {
    QString path;
    QString label; // empty: no keyword
    std::vector<float> samples;
};

double cpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

QList<Clip> loadClips()
{
    const QString script = QStringLiteral(VELTROSCOPE_SOURCE_DIR "/tests/generate-voice-clips.sh");
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/voice-clips");
    if (QProcess::execute(QStringLiteral("bash"), {script, dir}) != 0) {
        std::fprintf(stderr, "clip generation failed\n");
        return {};
    }
    QList<Clip> clips;
    QFile manifest(dir + QStringLiteral("/manifest.tsv"));
    if (!manifest.open(QIODevice::ReadOnly)) {
        return {};
    }
    for (const QByteArray &line : manifest.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 2) {
            continue;
        }
        Clip clip{dir + QLatin1Char('/') + QString::fromUtf8(fields[0]), QString::fromUtf8(fields[1]), {}};
        QString error;
        if (WavFile::read(clip.path, &clip.samples, &error)) {
            clips << clip;
        }
    }
    // The model's real speech holds none of the command phrases.
    const QString realSpeech = QStringLiteral(VELTROSCOPE_DEPS_DIR "/models/kws-zh-wenetspeech-3.3M/test_wavs");
    for (const QString &name : QDir(realSpeech).entryList({QStringLiteral("*.wav")})) {
        Clip clip{realSpeech + QLatin1Char('/') + name, QString(), {}};
        QString error;
        if (WavFile::read(clip.path, &clip.samples, &error)) {
            clips << clip;
        }
    }
    return clips;
}

// Where the voice of a clean clip falls silent: the last sample above a whisper.
double speechEndSeconds(const std::vector<float> &samples)
{
    size_t last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > 0.02f) {
            last = i;
        }
    }
    return double(last) / SpeechEngine::sampleRate;
}

struct Run {
    QMap<QString, QPair<int, int>> perKeyword; // label -> (hits, clips)
    int falseTriggers = 0;
    double negativeSeconds = 0.0;
    double audioSeconds = 0.0;
    double cpu = 0.0;
    double latencySum = 0.0;
    int latencyCount = 0;
};

Run evaluate(const std::shared_ptr<SpeechEngine> &engine, KeywordDecoder::Method method, const QList<Clip> &clips)
{
    Run run;
    constexpr size_t chunk = 1024;
    for (const Clip &clip : clips) {
        KeywordDecoder decoder(engine, method);
        QStringList heard;
        double firstHeardAt = -1.0;
        const double start = cpuSeconds();
        for (size_t i = 0; i < clip.samples.size(); i += chunk) {
            const size_t n = std::min(chunk, clip.samples.size() - i);
            const QStringList found = decoder.accept({clip.samples.data() + i, n});
            if (!found.isEmpty() && firstHeardAt < 0) {
                firstHeardAt = decoder.consumedSeconds();
            }
            heard += found;
        }
        heard += decoder.finish();
        run.cpu += cpuSeconds() - start;
        const double seconds = double(clip.samples.size()) / SpeechEngine::sampleRate;
        run.audioSeconds += seconds;
        if (clip.label.isEmpty()) {
            run.falseTriggers += int(heard.size());
            run.negativeSeconds += seconds;
            continue;
        }
        // A hit is the right command; a shorter phrase of the same command counts.
        const bool hit
            = !heard.isEmpty() && SpeechKeywords::isStop(heard.first()) == SpeechKeywords::isStop(clip.label);
        auto &entry = run.perKeyword[clip.label];
        entry.first += hit ? 1 : 0;
        entry.second += 1;
        if (hit && firstHeardAt >= 0 && clip.path.endsWith(QStringLiteral("clean.wav"))) {
            run.latencySum += firstHeardAt - speechEndSeconds(clip.samples);
            run.latencyCount += 1;
        }
    }
    return run;
}

void print(const char *name, const Run &run, double baselineCpu)
{
    std::printf("\n== %s ==\n", name);
    int hits = 0, total = 0;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        const auto entry = run.perKeyword.value(keyword.label);
        hits += entry.first;
        total += entry.second;
        std::printf("  %-12s recall %2d/%2d = %5.1f %%\n", qPrintable(keyword.label), entry.first, entry.second,
            entry.second ? 100.0 * entry.first / entry.second : 0.0);
    }
    std::printf("  all keywords: %d/%d\n", hits, total);
    std::printf("  false triggers: %d in %.1f s of non-keyword speech\n", run.falseTriggers, run.negativeSeconds);
    std::printf("  latency from the end of the phrase to the keyword report: %.2f s (mean of %d clean clips)\n",
        run.latencyCount ? run.latencySum / run.latencyCount : 0.0, run.latencyCount);
    std::printf("  CPU: %.1f %% of one core (%.3f s per s of audio), %.2fx the spotter alone\n",
        100.0 * run.cpu / run.audioSeconds, run.cpu / run.audioSeconds, run.cpu / baselineCpu);
}
// Wall time from the end of the spoken phrase to the command action, through
// the whole listener, with the clip played at real-time pace like a microphone.
double commandLatencySeconds(const QString &wav)
{
    std::vector<float> samples;
    QString error;
    if (!WavFile::read(wav, &samples, &error)) {
        return -1.0;
    }
    SpeechRecognitionManager listener(SpeechRecognizer::create(QStringLiteral("zh-CN")),
        std::make_unique<AudioEngine>(std::make_unique<WavFileInput>(wav, 1.0)), nullptr);
    QEventLoop loop;
    QElapsedTimer clock;
    double commandAt = -1.0;
    const auto heard = [&] {
        commandAt = clock.nsecsElapsed() / 1e9;
        loop.quit();
    };
    listener.setOnStartCommand(heard);
    listener.setOnStopCommand(heard);
    clock.start();
    listener.startListening();
    QTimer::singleShot(int(samples.size() / 16) + 3000, &loop, &QEventLoop::quit);
    loop.exec();
    listener.stopListening();
    return commandAt < 0 ? -1.0 : commandAt - speechEndSeconds(samples);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString error;
    const auto engine = SpeechEngine::load(SpeechEngineLocation::standard(), &error);
    if (!engine) {
        std::fprintf(stderr, "speech engine unavailable: %s\n", qPrintable(error));
        return 1;
    }
    const QList<Clip> clips = loadClips();
    std::printf("%lld clips\n", (long long)clips.size());
    const Run spotter = evaluate(engine, KeywordDecoder::Spotter, clips);
    const Run syllables = evaluate(engine, KeywordDecoder::Syllables, clips);
    const Run both = evaluate(engine, KeywordDecoder::Both, clips);
    print("keyword spotter alone (baseline)", spotter, spotter.cpu);
    print("recognizer syllables alone", syllables, spotter.cpu);
    print("both (shipped)", both, spotter.cpu);

    std::printf("\n== through the listener, real-time pace ==\n");
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/voice-clips/keyword/");
    for (const QString &name :
        {QStringLiteral("k6-175-clean.wav"), QStringLiteral("k1-175-clean.wav"), QStringLiteral("k8-130-clean.wav")}) {
        std::printf(
            "  %s: end of phrase to command action %.2f s\n", qPrintable(name), commandLatencySeconds(dir + name));
    }
    return 0;
}
