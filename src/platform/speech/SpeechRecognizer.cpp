#include "platform/speech/SpeechRecognizer.h"

#include "platform/Log.h"

#include <QThreadPool>

std::shared_ptr<SpeechRecognizer> SpeechRecognizer::create(const QString &locale)
{
    if (locale != QStringLiteral("zh-CN")) {
        return nullptr;
    }
    std::shared_ptr<SpeechRecognizer> recognizer(new SpeechRecognizer);
    recognizer->m_usesSharedEngine = true;
    return recognizer;
}

SpeechRecognizer::SpeechRecognizer(std::shared_ptr<SpeechEngine> engine) : m_engine(std::move(engine))
{
}

void SpeechRecognizer::requestAuthorization(std::function<void(Speech::AuthorizationStatus)> handler)
{
    QThreadPool::globalInstance()->start(
        [handler = std::move(handler)] { handler(Speech::AuthorizationStatus::Authorized); });
}

std::shared_ptr<SpeechEngine> SpeechRecognizer::engine()
{
    // The shared engine loads on first use, not when the screen is made.
    if (m_usesSharedEngine && !m_engine) {
        QString error;
        m_engine = SpeechEngine::shared(&error);
        m_usesSharedEngine = false;
        if (!m_engine) {
            Log::line(QStringLiteral("⚠️ 语音识别引擎加载失败: ") + error);
        }
    }
    return m_engine;
}

bool SpeechRecognizer::isAvailable()
{
    return engine() != nullptr;
}

std::shared_ptr<SpeechRecognitionTask> SpeechRecognizer::recognitionTask(
    std::shared_ptr<SpeechAudioBufferRecognitionRequest> request, SpeechRecognitionTask::ResultHandler handler)
{
    return std::make_shared<SpeechRecognitionTask>(engine(), std::move(request), std::move(handler));
}
