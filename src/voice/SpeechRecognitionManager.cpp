#include "voice/SpeechRecognitionManager.h"

#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/SteadyClock.h"
#include "platform/speech/AudioEngine.h"
#include "platform/speech/SpeechAudioBufferRecognitionRequest.h"
#include "platform/speech/SpeechRecognizer.h"

#include <QCoreApplication>
#include <QPointer>

#include <limits>

namespace {
const QStringList stopKeywords = {QStringLiteral("停止录制"), QStringLiteral("结束录制"), QStringLiteral("停止录像"),
    QStringLiteral("结束录像"), QStringLiteral("停止录"), QStringLiteral("结束录")};
const QStringList startKeywords = {QStringLiteral("开始录制"), QStringLiteral("开始录像"), QStringLiteral("开始录")};

QString firstContained(const QString &text, const QStringList &keywords)
{
    for (const QString &keyword : keywords) {
        if (text.contains(keyword)) {
            return keyword;
        }
    }
    return {};
}
} // namespace

SpeechRecognitionManager::SpeechRecognitionManager(QObject *parent)
    : SpeechRecognitionManager(
        SpeechRecognizer::create(QStringLiteral("zh-CN")), std::make_unique<AudioEngine>(), SteadyClock::now, parent)
{
}

SpeechRecognitionManager::SpeechRecognitionManager(std::shared_ptr<SpeechRecognizer> recognizer,
    std::unique_ptr<AudioEngine> audioEngine, Clock clock, QObject *parent)
    : QObject(parent), m_recognizer(std::move(recognizer)), m_audioEngine(std::move(audioEngine)),
      m_clock(clock ? std::move(clock) : Clock(SteadyClock::now)),
      m_lastTriggerTime(-std::numeric_limits<double>::infinity())
{
}

SpeechRecognitionManager::~SpeechRecognitionManager()
{
    stopListeningInternal();
}

void SpeechRecognitionManager::requestAuthorization(std::function<void(bool)> completion)
{
    QPointer<SpeechRecognitionManager> self(this);
    SpeechRecognizer::requestAuthorization(
        [self, completion = std::move(completion)](Speech::AuthorizationStatus status) {
            MainQueue::post(QCoreApplication::instance(), [self, completion, status] {
                if (self) {
                    self->setAuthorizationStatus(status);
                }
                if (completion) {
                    completion(status == Speech::AuthorizationStatus::Authorized);
                }
            });
        });
}

void SpeechRecognitionManager::startListening()
{
    if (m_isListening) {
        return;
    }
    if (!m_recognizer || !m_recognizer->isAvailable()) {
        Log::line(QStringLiteral("⚠️ 中文语音识别不可用"));
        return;
    }
    stopListeningInternal();

    auto request = std::make_shared<SpeechAudioBufferRecognitionRequest>();
    request->shouldReportPartialResults = true;
    request->requiresOnDeviceRecognition = false;
    m_request = request;
    m_transcriptUsed = 0;

    AudioInputNode &inputNode = m_audioEngine->inputNode();
    const AudioFormat recordingFormat = inputNode.outputFormatForBus(0);
    inputNode.removeTapOnBus(0);
    // The tap feeds the request made here, whatever m_request holds later.
    inputNode.installTapOnBus(
        0, 1024, recordingFormat, [request](const AudioPCMBuffer &buffer) { request->appendAudioPCMBuffer(buffer); });
    // A microphone that fails after starting ends this request with the reason,
    // which recognition reports as its error.
    m_audioEngine->setInterruptionHandler([request](const QString &reason) { request->fail(reason); });

    m_audioEngine->prepare();
    QString error;
    if (!m_audioEngine->start(&error)) {
        Log::line(QStringLiteral("❌ 音频引擎启动失败: ") + error);
        return;
    }

    QPointer<SpeechRecognitionManager> self(this);
    m_task = m_recognizer->recognitionTask(request,
        [self](
            const std::optional<SpeechRecognitionResult> &result, const std::optional<SpeechRecognitionError> &error) {
            if (self) {
                self->handleRecognition(result, error);
            }
        });

    setIsListening(true);
    Log::line(QStringLiteral("👂 开始语音监听"));
}

void SpeechRecognitionManager::handleRecognition(
    const std::optional<SpeechRecognitionResult> &result, const std::optional<SpeechRecognitionError> &error)
{
    QPointer<SpeechRecognitionManager> self(this);
    if (result) {
        const QString text = result->formattedString;
        MainQueue::post(this, [self, text] {
            if (self) {
                self->setLastRecognizedText(text);
            }
        });
        m_resultStopPhraseStart = result->stopPhraseStartTime;
        if (checkVoiceCommands(text.mid(m_transcriptUsed))) {
            m_transcriptUsed = text.size();
        }
        m_resultStopPhraseStart.reset();
        if (result->isFinal) {
            MainQueue::after(0.1, this, [self] {
                if (self && self->m_isListening) {
                    self->restartListening();
                }
            });
        }
    }
    if (error) {
        Log::line(QStringLiteral("⚠️ 语音识别错误: ") + error->localizedDescription);
        MainQueue::after(0.2, this, [self] {
            if (self && self->m_isListening) {
                self->restartListening();
            }
        });
    }
}

bool SpeechRecognitionManager::checkVoiceCommands(const QString &text)
{
    const double now = m_clock();
    if (!(now - m_lastTriggerTime > m_triggerCooldownSeconds)) {
        return false;
    }

    QString normalized = text.toLower();
    normalized.remove(QStringLiteral(" "));
    normalized.remove(QStringLiteral("，"));
    normalized.remove(QStringLiteral("。"));

    QString keyword = firstContained(normalized, stopKeywords);
    const bool isStop = !keyword.isEmpty();
    if (!isStop) {
        keyword = firstContained(normalized, startKeywords);
    }
    if (keyword.isEmpty()) {
        return false;
    }

    m_lastTriggerTime = now;
    m_lastCommandPhraseStart = isStop ? m_resultStopPhraseStart : std::nullopt;
    const QString command = isStop ? QStringLiteral("停止录制") : QStringLiteral("开始录制");
    setLastHeardCommand(QStringLiteral("✅ 识别到: ") + command);
    Log::line(QStringLiteral("🎙️ 语音命令触发: %1 (匹配关键词: %2)").arg(command, keyword));

    QPointer<SpeechRecognitionManager> self(this);
    MainQueue::post(this, [self, isStop] {
        if (!self) {
            return;
        }
        const std::function<void()> &action = isStop ? self->m_onStopCommand : self->m_onStartCommand;
        if (action) {
            action();
        }
    });
    MainQueue::after(0.3, this, [self] {
        if (self) {
            self->setLastRecognizedText(QString());
            self->restartListening();
        }
    });
    return true;
}

void SpeechRecognitionManager::restartListening()
{
    if (!m_isListening) {
        return;
    }
    stopListeningInternal();
    QPointer<SpeechRecognitionManager> self(this);
    MainQueue::after(0.15, this, [self] {
        if (self && self->m_isListening) {
            self->setIsListening(false);
            self->startListening();
        }
    });
}

void SpeechRecognitionManager::stopListeningInternal()
{
    if (m_audioEngine && m_audioEngine->isRunning()) {
        m_audioEngine->stop();
        m_audioEngine->inputNode().removeTapOnBus(0);
    }
    if (m_request) {
        m_request->endAudio();
    }
    if (m_task) {
        m_task->cancel();
    }
    m_request.reset();
    m_task.reset();
}

void SpeechRecognitionManager::stopListening()
{
    stopListeningInternal();
    setIsListening(false);
}

void SpeechRecognitionManager::pauseForRecording()
{
    Log::line(QStringLiteral("⏸️ 暂停语音监听以让出麦克风给录制"));
    stopListeningInternal();
}

void SpeechRecognitionManager::resumeAfterRecording()
{
    if (!m_isListening) {
        return;
    }
    Log::line(QStringLiteral("▶️ 恢复语音监听"));
    setIsListening(false);
    startListening();
}

void SpeechRecognitionManager::setIsListening(bool value)
{
    if (m_isListening != value) {
        m_isListening = value;
        Q_EMIT isListeningChanged();
    }
}

void SpeechRecognitionManager::setLastRecognizedText(const QString &value)
{
    if (m_lastRecognizedText != value) {
        m_lastRecognizedText = value;
        Q_EMIT lastRecognizedTextChanged();
    }
}

void SpeechRecognitionManager::setLastHeardCommand(const QString &value)
{
    if (m_lastHeardCommand != value) {
        m_lastHeardCommand = value;
        Q_EMIT lastHeardCommandChanged();
    }
}

void SpeechRecognitionManager::setAuthorizationStatus(Speech::AuthorizationStatus value)
{
    if (m_authorizationStatus != value) {
        m_authorizationStatus = value;
        Q_EMIT authorizationStatusChanged();
    }
}
