#pragma once

// Spoken commands for the tests that speak to the listener live, made with
// espeak-ng's pinyin voice at test time. The synthetic voice is heard only in some renderings, so each
// candidate (phrase, voice, speed) is first run through the listener's own
// recognizer and task from the file, and only one that is heard as the wanted
// command is played into the microphone.
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/SpeechAudioBufferRecognitionRequest.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFile.h"

#include "support/MainLoop.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <iterator>
#include <memory>
#include <optional>

namespace SpokenCommands {

enum class Command { none, start, stop };

struct Phrase {
    QString label;
    QString pinyin;
};

// espeak-ng voice variant and pitch, as in tests/generate-voice-clips.sh.
struct Voice {
    QString variant;
    int pitch;
};

struct Rendering {
    QString path;
    QString description;
};

// Most likely heard first, so the search usually ends at once.
inline QList<Phrase> startPhrases()
{
    return {{QStringLiteral("开始录制"), QStringLiteral("kai1 shi3 lu4 zhi4")},
        {QStringLiteral("开始录像"), QStringLiteral("kai1 shi3 lu4 xiang4")},
        {QStringLiteral("开始录"), QStringLiteral("kai1 shi3 lu4")}};
}

inline QList<Phrase> stopPhrases()
{
    return {{QStringLiteral("结束录制"), QStringLiteral("jie2 shu4 lu4 zhi4")},
        {QStringLiteral("结束录像"), QStringLiteral("jie2 shu4 lu4 xiang4")},
        {QStringLiteral("结束录"), QStringLiteral("jie2 shu4 lu4")},
        {QStringLiteral("停止录制"), QStringLiteral("ting2 zhi3 lu4 zhi4")},
        {QStringLiteral("停止录像"), QStringLiteral("ting2 zhi3 lu4 xiang4")},
        {QStringLiteral("停止录"), QStringLiteral("ting2 zhi3 lu4")}};
}

inline QList<Voice> voices()
{
    return {{QStringLiteral("m1"), 50}, {QStringLiteral("f2"), 62}, {QStringLiteral("m3"), 36},
        {QStringLiteral("f4"), 74}, {QStringLiteral("m7"), 44}, {QStringLiteral("f5"), 56}};
}

inline QList<int> speeds()
{
    return {150, 130, 175};
}

// The listener's reading of a transcript: a stop phrase wins over a start.
inline Command commandIn(const QString &transcript)
{
    for (const bool stop : {true, false}) {
        for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
            if (SpeechKeywords::isStop(keyword.label) == stop && transcript.contains(keyword.label)) {
                return stop ? Command::stop : Command::start;
            }
        }
    }
    return Command::none;
}

// A 16 kHz mono clip with half a second of quiet before and one after, peaks
// at -3 dBFS; false when espeak-ng or sox fails.
inline bool render(const Phrase &phrase, const Voice &voice, int speed, const QString &path)
{
    const QString raw = path + QStringLiteral(".raw.wav");
    const int spoken = QProcess::execute(QStringLiteral("espeak-ng"),
        {QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin+") + voice.variant, QStringLiteral("-p"),
            QString::number(voice.pitch), QStringLiteral("-s"), QString::number(speed), QStringLiteral("-w"), raw,
            phrase.pinyin});
    const int converted = spoken != 0
        ? -1
        : QProcess::execute(QStringLiteral("sox"),
            {QStringLiteral("-q"), QStringLiteral("-R"), raw, QStringLiteral("-r"), QStringLiteral("16000"),
                QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"), path,
                QStringLiteral("pad"), QStringLiteral("0.5"), QStringLiteral("1.0"), QStringLiteral("norm"),
                QStringLiteral("-3")});
    QFile::remove(raw);
    return converted == 0;
}

// The microphone hands the listener 10 ms at a time; the recognizer's
// results depend on where the chunks fall.
constexpr size_t microphoneChunk = 160;

// The transcript the listener's recognizer and task make of `samples` after
// `quietBefore` samples of silence, fed in the microphone's chunks through the
// gain stage, to the end of the audio. None when the task failed.
inline std::optional<QString> transcriptOf(
    const std::shared_ptr<SpeechRecognizer> &recognizer, const std::vector<float> &samples, size_t quietBefore = 0)
{
    std::vector<float> audio(quietBefore, 0.0f);
    audio.insert(audio.end(), samples.begin(), samples.end());
    auto request = std::make_shared<SpeechAudioBufferRecognitionRequest>();
    AutomaticGain gain;
    for (size_t i = 0; i < audio.size(); i += microphoneChunk) {
        AudioPCMBuffer buffer;
        buffer.samples.assign(audio.begin() + qsizetype(i),
            audio.begin() + qsizetype(std::min(audio.size(), i + microphoneChunk)));
        gain.process(buffer.samples.data(), buffer.samples.size());
        request->appendAudioPCMBuffer(buffer);
    }
    request->endAudio();
    std::optional<QString> transcript;
    bool failed = false;
    const auto task = recognizer->recognitionTask(request,
        [&](const std::optional<SpeechRecognitionResult> &result, const std::optional<SpeechRecognitionError> &) {
            if (!result) {
                failed = true;
            } else if (result->isFinal) {
                transcript = result->formattedString;
            }
        });
    // The end of the audio always brings a final result or an error.
    MainLoop::waitUntil([&] { return transcript.has_value() || failed; }, 120000);
    task->cancel();
    return transcript;
}

inline std::optional<QString> transcriptOf(const std::shared_ptr<SpeechRecognizer> &recognizer, const QString &wav)
{
    std::vector<float> samples;
    QString error;
    if (!WavFile::read(wav, &samples, &error)) {
        return std::nullopt;
    }
    return transcriptOf(recognizer, samples);
}

// Up to `wanted` renderings of the command that the engine hears as it from
// the file, in `folder`: heard with at least `minimumHeard` of four different
// lengths of quiet before it, so wherever the microphone's chunks happen to
// fall, after `prepare` has made of the clip what is played. `tried`
// describes every candidate tried.
using Preparation = std::function<std::vector<float>(const std::vector<float> &)>;

inline QList<Rendering> heardRenderings(const std::shared_ptr<SpeechRecognizer> &recognizer, Command command,
    const QString &folder, int wanted, QStringList *tried, int minimumHeard = 4, const Preparation &prepare = {})
{
    constexpr size_t quietBefore[] = {0, 53, 107, 4000};
    QList<Rendering> heard;
    const QList<Phrase> phrases = command == Command::start ? startPhrases() : stopPhrases();
    int index = 0;
    // The phrase the engine hears best first; the voices before the speeds,
    // so a retry sounds different.
    for (const Phrase &phrase : phrases) {
        for (const int speed : speeds()) {
            for (const Voice &voice : voices()) {
                const QString description = QStringLiteral("%1 %2 %3").arg(phrase.label, voice.variant).arg(speed);
                const QString path = QDir(folder).filePath(
                    QStringLiteral("%1-%2.wav").arg(command == Command::start ? "start" : "stop").arg(index++));
                if (!render(phrase, voice, speed, path)) {
                    *tried << description + QStringLiteral(": not rendered");
                    continue;
                }
                std::vector<float> samples;
                QString error;
                if (!WavFile::read(path, &samples, &error)) {
                    *tried << description + QStringLiteral(": ") + error;
                    continue;
                }
                if (prepare) {
                    samples = prepare(samples);
                }
                int heardTimes = 0;
                QStringList transcripts;
                for (size_t i = 0; i < std::size(quietBefore) && heardTimes + int(std::size(quietBefore) - i) >= minimumHeard;
                     ++i) {
                    const std::optional<QString> transcript = transcriptOf(recognizer, samples, quietBefore[i]);
                    transcripts << transcript.value_or(QStringLiteral("failed"));
                    heardTimes += transcript && commandIn(*transcript) == command ? 1 : 0;
                }
                *tried << description + QStringLiteral(": [") + transcripts.join(QStringLiteral("] [")) + u']';
                if (heardTimes >= minimumHeard) {
                    heard << Rendering{path, description};
                    if (heard.size() >= wanted) {
                        return heard;
                    }
                }
            }
        }
    }
    return heard;
}

} // namespace SpokenCommands
