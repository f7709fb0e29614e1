#include "platform/speech/SpeechRecognitionTask.h"

#include "platform/MainQueue.h"
#include "platform/speech/KeywordDecoder.h"
#include "platform/speech/PhraseOnset.h"
#include "platform/speech/SpeechKeywords.h"

#include <QCoreApplication>

#include <cmath>
#include <deque>

namespace {
// Buffers remembered for placing a keyword in time: a phrase is found within
// a few seconds of being said.
constexpr size_t rememberedBuffers = 400;

// When each stretch of the decoder's stream was captured.
class StreamClock {
public:
    void note(int64_t firstSample, double captureTime)
    {
        m_starts.push_back({firstSample, captureTime});
        if (m_starts.size() > rememberedBuffers) {
            m_starts.pop_front();
        }
    }
    // The capture time of the stream's second `seconds`; none when unknown.
    std::optional<double> captureTimeOf(double seconds) const
    {
        if (!std::isfinite(seconds)) {
            return std::nullopt;
        }
        const double sample = seconds * SpeechEngine::sampleRate;
        for (auto it = m_starts.rbegin(); it != m_starts.rend(); ++it) {
            if (double(it->first) <= sample) {
                if (!std::isfinite(it->second)) {
                    return std::nullopt;
                }
                return it->second + (sample - double(it->first)) / SpeechEngine::sampleRate;
            }
        }
        return std::nullopt;
    }

private:
    std::deque<std::pair<int64_t, double>> m_starts;
};
} // namespace

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
    StreamClock streamClock;
    PhraseOnset onset;
    int64_t samplesFed = 0;
    std::optional<double> stopPhraseStart;
    auto placeStops = [&](const QStringList &labels, const QList<double> &starts) {
        for (qsizetype i = 0; i < labels.size(); ++i) {
            if (SpeechKeywords::isStop(labels[i])) {
                stopPhraseStart = streamClock.captureTimeOf(onset.refine(i < starts.size() ? starts[i] : NAN));
            }
        }
    };
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
            streamClock.note(samplesFed, buffer.captureTime);
            samplesFed += int64_t(buffer.samples.size());
            onset.append(buffer.samples.data(), buffer.samples.size());
            const QStringList labels = decoder.accept(buffer.samples);
            placeStops(labels, decoder.keywordStartSeconds());
            heard += labels;
        }
        if (takeHeard()) {
            report(SpeechRecognitionResult{transcript, false, stopPhraseStart}, std::nullopt);
        }
        for (const QString &label : heard) {
            transcript += label;
            report(SpeechRecognitionResult{transcript, false, stopPhraseStart}, std::nullopt);
        }
    }
    if (ended && !m_state->cancelled) {
        if (const QString failure = m_request->failure(); !failure.isEmpty()) {
            report(std::nullopt, SpeechRecognitionError{failure});
            return;
        }
        const QStringList last = decoder.finish();
        placeStops(last, decoder.keywordStartSeconds());
        takeHeard();
        for (const QString &label : last) {
            transcript += label;
        }
        report(SpeechRecognitionResult{transcript, true, stopPhraseStart}, std::nullopt);
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
