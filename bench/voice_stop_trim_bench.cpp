// Where the listener places the start of a spoken stop phrase, against where
// its voice begins in the clip: the error of the cut that ends a take stopped
// by voice. Over the real speaker's stop phrases in every condition
// (tests/support/RealSpeech.h), then the espeak-ng clips as a stress set
// (tests set, or "full" as the argument), each said alone after a second of
// silence, heard through the gain stage as the listener hears them; the real
// speaker per condition and in all. A positive lag is a start placed late, which
// eats into the 0.2 s margin; past it the file would keep the phrase's onset.
#include "capture/VoiceCommandTrim.h"
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/KeywordDecoder.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/WavFile.h"
#include "support/RealSpeech.h"
#include "support/TestPaths.h"
#include "voice/VoiceClips.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
constexpr double leadSeconds = 1.0;

// The first 10 ms frame well above the clip's floor.
double voiceOnsetSeconds(const std::vector<float> &samples)
{
    constexpr size_t frame = 160;
    std::vector<double> levels;
    double loudest = 0.0;
    for (size_t i = 0; i + frame <= samples.size(); i += frame) {
        double energy = 0.0;
        for (size_t j = i; j < i + frame; ++j) {
            energy += double(samples[j]) * samples[j];
        }
        levels.push_back(std::sqrt(energy / frame));
        loudest = std::max(loudest, levels.back());
    }
    for (size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] > loudest * 0.05) {
            return double(i * frame) / SpeechEngine::sampleRate;
        }
    }
    return 0.0;
}

// Prints where the decoder placed the stop phrases' starts against their voice.
void measure(const char *name, const std::shared_ptr<SpeechEngine> &engine, const std::vector<std::vector<float>> &set)
{
    std::vector<double> lags;
    int clips = 0;
    int unplaced = 0;
    for (const std::vector<float> &clip : set) {
        ++clips;
        std::vector<float> samples(size_t(leadSeconds * SpeechEngine::sampleRate), 0.0f);
        samples.insert(samples.end(), clip.begin(), clip.end());
        const double onset = leadSeconds + voiceOnsetSeconds(clip);
        AutomaticGain gain;
        KeywordDecoder decoder(engine);
        std::optional<double> start;
        for (size_t i = 0; i < samples.size() && !start; i += 1024) {
            const size_t n = std::min<size_t>(1024, samples.size() - i);
            gain.process(samples.data() + i, n);
            const QStringList heard = decoder.accept({samples.data() + i, n});
            const QList<double> starts = decoder.keywordStartSeconds();
            for (qsizetype k = 0; k < heard.size(); ++k) {
                if (SpeechKeywords::isStop(heard[k])) {
                    start = starts.value(k, NAN);
                }
            }
        }
        if (!start) {
            continue;
        }
        if (!std::isfinite(*start)) {
            ++unplaced;
            continue;
        }
        lags.push_back(*start - onset);
    }
    if (lags.empty()) {
        std::printf("%s: no stop phrase heard in %d clips\n", name, clips);
        return;
    }
    std::sort(lags.begin(), lags.end());
    double sum = 0.0;
    for (double lag : lags) {
        sum += lag;
    }
    const double margin = VoiceCommandTrim::marginSeconds;
    const auto intoPhrase = std::count_if(lags.begin(), lags.end(), [&](double lag) { return lag > margin; });
    std::printf("%s\n  stop phrases heard: %zu of %d clips, %d without a time\n", name, lags.size(), clips, unplaced);
    std::printf("  placed start minus voice onset: min %+.3f s, median %+.3f s, mean %+.3f s, max %+.3f s\n",
        lags.front(), lags[lags.size() / 2], sum / double(lags.size()), lags.back());
    std::printf("  cut with the %.1f s margin ends before the voice by: min %.3f s, median %.3f s, max %.3f s\n",
        margin, margin - lags.back(), margin - lags[lags.size() / 2], margin - lags.front());
    std::printf(
        "  cuts that would keep the phrase's onset: %lld of %zu\n", static_cast<long long>(intoPhrase), lags.size());
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString error;
    const auto engine = SpeechEngine::load(SpeechEngineLocation::standard(), &error);
    if (!engine) {
        std::fprintf(stderr, "no speech engine: %s\n", qPrintable(error));
        return 1;
    }
    std::vector<std::vector<float>> real;
    for (const QString &condition : RealSpeech::conditions()) {
        std::vector<std::vector<float>> inCondition;
        int variant = 0;
        for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
            if (SpeechKeywords::isStop(keyword.label)) {
                const RealSpeech::Spoken spoken = RealSpeech::say(VoiceClips::spoken(keyword.label), 0.0, 1.0);
                inCondition.push_back(RealSpeech::inCondition(spoken.samples, condition, variant++));
            }
        }
        measure(qPrintable(QStringLiteral("real speaker, ") + condition), engine, inCondition);
        real.insert(real.end(), inCondition.begin(), inCondition.end());
    }
    measure("real speaker, every condition", engine, real);

    const QString set = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("tests");
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/voice-clips-") + set;
    if (QProcess::execute(QStringLiteral("bash"),
            {TestPaths::sourceDir() + QStringLiteral("/tests/generate-voice-clips.sh"), dir, set})
        != 0) {
        std::fprintf(stderr, "clip generation failed\n");
        return 1;
    }
    QFile manifest(dir + QStringLiteral("/manifest.tsv"));
    if (!manifest.open(QIODevice::ReadOnly)) {
        return 1;
    }
    std::vector<std::vector<float>> synthetic;
    for (const QByteArray &line : manifest.readAll().split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (f.size() < 6 || !SpeechKeywords::isStop(f[1]) || f[4] != QLatin1String("alone")) {
            continue;
        }
        std::vector<float> clip;
        if (WavFile::read(dir + QLatin1Char('/') + f[0], &clip, &error)) {
            synthetic.push_back(std::move(clip));
        }
    }
    measure("stress set: espeak-ng", engine, synthetic);
    return 0;
}
