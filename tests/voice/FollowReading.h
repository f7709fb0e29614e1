#pragma once

#include "platform/speech/SpeechEngine.h"
#include "platform/speech/WavFile.h"
#include "support/RealSpeech.h"
#include "support/TestPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

// Generated readings of the voice-following scripts, with the time each
// syllable ends, and the transcripts the listener publishes while it hears
// them: the engine's streaming recognizer on the same model, its text of each
// utterance run together and the utterances joined by spaces. Shared by the
// follower tests and the benchmark.
namespace FollowReading {

struct ScriptLine {
    QString hanzi;
    QStringList clauses; // tone-numbered pinyin, one syllable per Han character
};

inline QList<ScriptLine> chineseScript()
{
    QList<ScriptLine> lines;
    QFile file(TestPaths::sourceDir() + QStringLiteral("/tests/voice/follow-script.tsv"));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            const QStringList fields = line.split(QLatin1Char('\t'));
            if (fields.size() == 2) {
                lines.append({fields[0], fields[1].split(QLatin1Char(','))});
            }
        }
    }
    return lines;
}

inline QStringList latinScript()
{
    QFile file(TestPaths::sourceDir() + QStringLiteral("/tests/voice/follow-script-latin.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The whole script as one paragraph, as a user would paste it.
inline QString paragraph(const QStringList &sentences, const QString &separator = QString())
{
    return sentences.join(separator);
}

inline QString chineseParagraph()
{
    QStringList sentences;
    for (const ScriptLine &line : chineseScript()) {
        sentences << line.hanzi;
    }
    return paragraph(sentences);
}

inline QString directory()
{
    static const QString dir = [] {
        const QString script = TestPaths::sourceDir() + QStringLiteral("/tests/generate-follow-reading.sh");
        const QString out = QCoreApplication::applicationDirPath() + QStringLiteral("/follow-reading");
        QProcess::execute(QStringLiteral("bash"), {script, out});
        return out;
    }();
    return dir;
}

// One step of a reading: a sentence of the script, or a pause.
struct Step {
    int sentence = -1; // -1: a pause
    double pauseSeconds = 0;
    static Step read(int sentence) { return {sentence, 0}; }
    static Step pause(double seconds) { return {-1, seconds}; }
};

struct Syllable {
    int sentence = 0;
    int textPosition = 0; // of its character in the paragraph
    double end = 0; // seconds into the reading
};

struct Sentence {
    int index = 0;
    double start = 0;
    double end = 0;
    int firstSyllable = 0; // into Reading::syllables
    int syllableCount = 0;
};

struct Reading {
    std::vector<float> samples;
    std::vector<Syllable> syllables;
    std::vector<Sentence> sentences; // in the order read, repeats included
    double seconds() const { return double(samples.size()) / SpeechEngine::sampleRate; }
};

inline void appendQuiet(std::vector<float> &samples, double seconds)
{
    samples.insert(samples.end(), size_t(seconds * SpeechEngine::sampleRate), 0.0f);
}

// Where the voice of a clause starts and ends, in samples.
inline std::pair<size_t, size_t> voiced(const std::vector<float> &clip)
{
    constexpr float whisper = 0.02f;
    const auto loud = [](float s) { return std::fabs(s) > whisper; };
    const auto first = std::find_if(clip.begin(), clip.end(), loud);
    const auto last = std::find_if(clip.rbegin(), clip.rend(), loud);
    if (first == clip.end()) {
        return {0, 0};
    }
    return {size_t(first - clip.begin()), size_t(clip.rend() - last)};
}

// Positions of the Han characters of each sentence in the paragraph.
inline std::vector<std::vector<int>> hanPositions(const QList<ScriptLine> &script)
{
    std::vector<std::vector<int>> positions;
    int offset = 0;
    for (const ScriptLine &line : script) {
        std::vector<int> sentence;
        for (int i = 0; i < line.hanzi.size(); ++i) {
            if (line.hanzi.at(i).script() == QChar::Script_Han) {
                sentence.push_back(offset + i);
            }
        }
        positions.push_back(sentence);
        offset += int(line.hanzi.size());
    }
    return positions;
}

// The Chinese script read by the plan: clauses 0.25 s apart, sentences 0.5 s
// apart, half a second of quiet before and after. Syllable ends are spread
// evenly over the voiced part of each clause.
inline Reading chineseReading(const QList<Step> &plan)
{
    const QList<ScriptLine> script = chineseScript();
    const std::vector<std::vector<int>> positions = hanPositions(script);
    const QString dir = directory();
    Reading reading;
    appendQuiet(reading.samples, 0.5);
    for (const Step &step : plan) {
        if (step.sentence < 0) {
            appendQuiet(reading.samples, step.pauseSeconds);
            continue;
        }
        Sentence sentence{step.sentence, reading.seconds(), 0, int(reading.syllables.size()), 0};
        int syllable = 0;
        const ScriptLine &line = script[step.sentence];
        for (int c = 0; c < line.clauses.size(); ++c) {
            std::vector<float> clip;
            QString error;
            WavFile::read(dir + QStringLiteral("/zh-%1-%2.wav").arg(step.sentence).arg(c), &clip, &error);
            const auto [on, off] = voiced(clip);
            const int count = int(line.clauses[c].split(QLatin1Char(' '), Qt::SkipEmptyParts).size());
            const double base = reading.seconds();
            for (int k = 0; k < count; ++k) {
                const double end = base + (double(on) + double(off - on) * (k + 1) / count) / SpeechEngine::sampleRate;
                const auto &chars = positions[size_t(step.sentence)];
                const int position = syllable < int(chars.size()) ? chars[size_t(syllable)] : chars.back();
                reading.syllables.push_back({step.sentence, position, end});
                ++syllable;
            }
            reading.samples.insert(reading.samples.end(), clip.begin(), clip.end());
            appendQuiet(reading.samples, c + 1 < line.clauses.size() ? 0.25 : 0.5);
        }
        sentence.end = reading.seconds();
        sentence.syllableCount = int(reading.syllables.size()) - sentence.firstSyllable;
        reading.sentences.push_back(sentence);
    }
    appendQuiet(reading.samples, 0.5);
    return reading;
}

// The script of the real speaker's recorded words, a sentence a line, its
// words apart: tests/voice/follow-script-recorded.txt.
inline QStringList recordedScript()
{
    QFile file(TestPaths::sourceDir() + QStringLiteral("/tests/voice/follow-script-recorded.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// That script as the prompter shows it.
inline QString recordedParagraph()
{
    return recordedScript().join(QString()).remove(QLatin1Char(' '));
}

// The recorded script read by the plan at a natural pace: the speaker's words
// with short gaps, pauses at punctuation, half a second between sentences.
// Syllable ends are spread evenly over each word's voice.
inline Reading recordedReading(const QList<Step> &plan)
{
    const QStringList script = recordedScript();
    std::vector<std::vector<int>> positions;
    int offset = 0;
    for (const QString &line : script) {
        const QString shown = QString(line).remove(QLatin1Char(' '));
        std::vector<int> sentence;
        for (int i = 0; i < shown.size(); ++i) {
            if (shown.at(i).script() == QChar::Script_Han) {
                sentence.push_back(offset + i);
            }
        }
        positions.push_back(sentence);
        offset += int(shown.size());
    }
    Reading reading;
    appendQuiet(reading.samples, 0.5);
    for (const Step &step : plan) {
        if (step.sentence < 0) {
            appendQuiet(reading.samples, step.pauseSeconds);
            continue;
        }
        const RealSpeech::Spoken spoken = RealSpeech::say(script[step.sentence], 0.0, 0.5);
        const double base = reading.seconds();
        Sentence sentence{step.sentence, base, 0, int(reading.syllables.size()), 0};
        const auto &chars = positions[size_t(step.sentence)];
        size_t syllable = 0;
        for (qsizetype w = 0; w < spoken.words.size(); ++w) {
            const int count = int(spoken.words[w].size());
            const double start = spoken.wordStarts[size_t(w)], end = spoken.wordEnds[size_t(w)];
            for (int k = 0; k < count; ++k) {
                const int position = syllable < chars.size() ? chars[syllable] : chars.back();
                reading.syllables.push_back({step.sentence, position, base + start + (end - start) * (k + 1) / count});
                ++syllable;
            }
        }
        reading.samples.insert(reading.samples.end(), spoken.samples.begin(), spoken.samples.end());
        sentence.end = reading.seconds();
        sentence.syllableCount = int(reading.syllables.size()) - sentence.firstSyllable;
        reading.sentences.push_back(sentence);
    }
    appendQuiet(reading.samples, 0.5);
    return reading;
}

// The Latin script read once, sentence by sentence.
inline Reading latinReading()
{
    Reading reading;
    appendQuiet(reading.samples, 0.5);
    for (int s = 0; s < latinScript().size(); ++s) {
        std::vector<float> clip;
        QString error;
        WavFile::read(directory() + QStringLiteral("/en-%1.wav").arg(s), &clip, &error);
        reading.sentences.push_back({s, reading.seconds(), 0, 0, 0});
        reading.samples.insert(reading.samples.end(), clip.begin(), clip.end());
        reading.sentences.back().end = reading.seconds();
        appendQuiet(reading.samples, 0.5);
    }
    return reading;
}

// A transcript as the listener publishes it, and when.
struct Transcript {
    double time = 0;
    QString text;
};

// The recognizer run over the reading in the microphone's 1024-sample chunks.
inline std::vector<Transcript> transcripts(const std::vector<float> &samples)
{
    std::vector<Transcript> published;
    QString error;
    const std::shared_ptr<SpeechEngine> engine = SpeechEngine::shared(&error);
    if (!engine) {
        return published;
    }
    const sherpa::Api &api = engine->api();
    const sherpa::OnlineRecognizer *recognizer = engine->recognizer();
    const sherpa::OnlineStream *stream = api.createOnlineStream(recognizer);
    QString done;
    QString last;
    for (size_t i = 0; i < samples.size(); i += 1024) {
        const int n = int(std::min<size_t>(1024, samples.size() - i));
        api.acceptWaveform(stream, SpeechEngine::sampleRate, samples.data() + i, n);
        while (api.isOnlineStreamReady(recognizer, stream)) {
            api.decodeOnlineStream(recognizer, stream);
        }
        const sherpa::OnlineRecognizerResult *result = api.getOnlineStreamResult(recognizer, stream);
        const QString utterance = result ? QString::fromUtf8(result->text) : QString();
        if (result) {
            api.destroyOnlineRecognizerResult(result);
        }
        const QString text = done + utterance;
        const double time = double(i + size_t(n)) / SpeechEngine::sampleRate;
        if (text != last) {
            published.push_back({time, text});
            last = text;
        }
        if (api.isEndpoint(recognizer, stream)) {
            if (!utterance.isEmpty()) {
                done += utterance + QLatin1Char(' ');
            }
            api.resetOnlineStream(recognizer, stream);
        }
    }
    api.destroyOnlineStream(stream);
    return published;
}

} // namespace FollowReading
