#pragma once

#include "platform/speech/SpeechAuthorizationStatus.h"
#include "platform/speech/SpeechRecognitionTask.h"

#include <QString>

#include <functional>
#include <memory>

// Offline speech recognition of the command keywords. Exists only for "zh-CN";
// available once the engine and the model are loaded. Main thread only.
class SpeechRecognizer {
public:
    // A recognizer for `locale`, or null when there is none for it.
    static std::shared_ptr<SpeechRecognizer> create(const QString &locale);

    // Uses `engine` (null: nothing to recognize with, never available).
    explicit SpeechRecognizer(std::shared_ptr<SpeechEngine> engine);

    // Linux has no speech permission service: the answer is always authorized.
    // It arrives once, on another thread.
    static void requestAuthorization(std::function<void(Speech::AuthorizationStatus)> handler);

    bool isAvailable();

    std::shared_ptr<SpeechRecognitionTask> recognitionTask(
        std::shared_ptr<SpeechAudioBufferRecognitionRequest> request, SpeechRecognitionTask::ResultHandler handler);

private:
    SpeechRecognizer() = default;
    std::shared_ptr<SpeechEngine> engine();

    bool m_usesSharedEngine = false;
    std::shared_ptr<SpeechEngine> m_engine;
};
