#include "platform/speech/SpeechRecognitionTask.h"

#include "platform/MainQueue.h"
#include "platform/speech/KeywordDecoder.h"

#include <QCoreApplication>

SpeechRecognitionTask::SpeechRecognitionTask(std::shared_ptr<SpeechEngine> engine,
    std::shared_ptr<SpeechAudioBufferRecognitionRequest> request, ResultHandler handler)
    : m_state(std::make_shared<State>()), m_request(std::move(request))
{
    m_state->handler = std::move(handler);
    m_worker = std::thread([this, engine = std::move(engine)] {
        run(engine);
        m_state->finished = true;
    });
}

SpeechRecognitionTask::~SpeechRecognitionTask()
{
    cancel();
    m_worker.join();
}

void SpeechRecognitionTask::cancel()
{
    m_state->cancelled = true;
    m_request->wake();
}

void SpeechRecognitionTask::run(std::shared_ptr<SpeechEngine> engine)
{
    if (!engine) {
        report(std::nullopt, SpeechRecognitionError{QStringLiteral("语音识别引擎未加载")});
        return;
    }
    KeywordDecoder decoder(engine);
    // Grows only: what the recognizer heard, with the command labels where
    // they were found. The voice-following prompter reads the pinyin, command
    // detection the labels.
    QString transcript;
    QString heardBefore;
    auto takeHeard = [&] {
        const QString heard = decoder.heardText();
        if (heard.size() > heardBefore.size()) {
            // A revision of what was already passed on stays as it was.
            transcript += heard.mid(heardBefore.size());
            heardBefore = heard;
            return true;
        }
        return false;
    };
    bool ended = false;
    while (!ended && !m_state->cancelled) {
        QStringList heard;
        for (const AudioPCMBuffer &buffer : m_request->takeAudio(&ended)) {
            if (m_state->cancelled) {
                return;
            }
            if (buffer.sampleRate != SpeechEngine::sampleRate) {
                report(std::nullopt,
                    SpeechRecognitionError{QStringLiteral("不支持的音频采样率: %1 Hz").arg(buffer.sampleRate)});
                return;
            }
            heard += decoder.accept(buffer.samples);
        }
        if (takeHeard()) {
            report(SpeechRecognitionResult{transcript, false}, std::nullopt);
        }
        for (const QString &label : heard) {
            transcript += label;
            report(SpeechRecognitionResult{transcript, false}, std::nullopt);
        }
    }
    if (ended && !m_state->cancelled) {
        if (const QString failure = m_request->failure(); !failure.isEmpty()) {
            report(std::nullopt, SpeechRecognitionError{failure});
            return;
        }
        const QStringList last = decoder.finish();
        takeHeard();
        for (const QString &label : last) {
            transcript += label;
        }
        report(SpeechRecognitionResult{transcript, true}, std::nullopt);
    }
}

void SpeechRecognitionTask::report(
    std::optional<SpeechRecognitionResult> result, std::optional<SpeechRecognitionError> error)
{
    // The state, not the task, travels with the report: the task may be gone
    // by the time the main thread gets to it.
    MainQueue::post(
        QCoreApplication::instance(), [state = m_state, result = std::move(result), error = std::move(error)] {
            if (!state->cancelled && state->handler) {
                state->handler(result, error);
            }
        });
}
