#pragma once

// What the listener makes of spoken commands, for the tests that speak to it
// live (the clips: voice/VoiceClips.h).
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/SpeechAudioBufferRecognitionRequest.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFile.h"

#include "support/MainLoop.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace SpokenCommands {

enum class Command { none, start, stop };

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
        buffer.samples.assign(
            audio.begin() + qsizetype(i), audio.begin() + qsizetype(std::min(audio.size(), i + microphoneChunk)));
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

} // namespace SpokenCommands
