#pragma once

#include "platform/speech/SpeechAudioBufferRecognitionRequest.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/speech/SpeechRecognitionResult.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

// Runs the engine over one request's audio on a worker thread. Each keyword
// heard makes a result whose transcript is every keyword label heard since the
// task began; the end of the audio makes a final result. The handler runs on
// the main thread. After `cancel()` the handler is never called again, not
// even for reports already on their way.
class SpeechRecognitionTask {
public:
    using ResultHandler = std::function<void(
        const std::optional<SpeechRecognitionResult> &, const std::optional<SpeechRecognitionError> &)>;

    SpeechRecognitionTask(std::shared_ptr<SpeechEngine> engine,
        std::shared_ptr<SpeechAudioBufferRecognitionRequest> request, ResultHandler handler);
    ~SpeechRecognitionTask();
    SpeechRecognitionTask(const SpeechRecognitionTask &) = delete;
    SpeechRecognitionTask &operator=(const SpeechRecognitionTask &) = delete;

    void cancel();
    // The worker is done: every report it will make has been posted.
    bool isFinished() const { return m_state->finished; }

private:
    struct State {
        std::atomic<bool> cancelled{false};
        std::atomic<bool> finished{false};
        ResultHandler handler;
    };
    void run(std::shared_ptr<SpeechEngine> engine);
    void report(std::optional<SpeechRecognitionResult> result, std::optional<SpeechRecognitionError> error);

    std::shared_ptr<State> m_state;
    std::shared_ptr<SpeechAudioBufferRecognitionRequest> m_request;
    std::thread m_worker;
};
