#pragma once

#include "platform/speech/AudioEngine.h"
#include "platform/speech/SpeechAuthorizationStatus.h"
#include "platform/speech/SpeechRecognizer.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The voice command listener: continuous recognition of the microphone that
// turns a spoken Mandarin start or stop keyword into onStartCommand or
// onStopCommand. Main thread only.
//
// It hears the capture session's microphone, the one takes record, so its
// times and the take's are on one clock. Pausing for a recording and resuming
// after it are changes of the listener alone (recognition ends, then a fresh
// one begins); the device runs on throughout. Without a capture session, or
// with one that has no microphone, starting fails as for a missing microphone.
class SpeechRecognitionManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isListening READ isListening NOTIFY isListeningChanged)
    Q_PROPERTY(QString lastRecognizedText READ lastRecognizedText NOTIFY lastRecognizedTextChanged)
    Q_PROPERTY(QString lastHeardCommand READ lastHeardCommand NOTIFY lastHeardCommandChanged)
    Q_PROPERTY(
        Speech::AuthorizationStatus authorizationStatus READ authorizationStatus NOTIFY authorizationStatusChanged)

public:
    // Seconds on a monotonic clock.
    using Clock = std::function<double()>;

    // The "zh-CN" recognizer and the capture session's microphone.
    explicit SpeechRecognitionManager(QObject *parent = nullptr);
    // Given services (tests: a file played as the microphone, a clock to set).
    SpeechRecognitionManager(std::shared_ptr<SpeechRecognizer> recognizer, std::unique_ptr<AudioEngine> audioEngine,
        Clock clock, QObject *parent = nullptr);
    ~SpeechRecognitionManager() override;

    bool isListening() const { return m_isListening; }
    QString lastRecognizedText() const { return m_lastRecognizedText; }
    QString lastHeardCommand() const { return m_lastHeardCommand; }
    Speech::AuthorizationStatus authorizationStatus() const { return m_authorizationStatus; }

    void setOnStartCommand(std::function<void()> action) { m_onStartCommand = std::move(action); }
    void setOnStopCommand(std::function<void()> action) { m_onStopCommand = std::move(action); }

    void requestAuthorization(std::function<void(bool)> completion);
    void startListening();
    void stopListening();
    void pauseForRecording();
    void resumeAfterRecording();

    // Command detection on a transcript; the result handler's step, open to tests.
    // True when the text held a command that was acted on.
    bool checkVoiceCommands(const QString &text);

    // When the spoken phrase of the command last accepted began, in seconds of
    // the steady clock; none for a start command, or when the engine could
    // not tell. Read by the stop action to cut the phrase off the take.
    std::optional<double> lastCommandPhraseStart() const { return m_lastCommandPhraseStart; }

Q_SIGNALS:
    void isListeningChanged();
    void lastRecognizedTextChanged();
    void lastHeardCommandChanged();
    void authorizationStatusChanged();

private:
    void handleRecognition(
        const std::optional<SpeechRecognitionResult> &result, const std::optional<SpeechRecognitionError> &error);
    void restartListening();
    void stopListeningInternal();

    void setIsListening(bool value);
    void setLastRecognizedText(const QString &value);
    void setLastHeardCommand(const QString &value);
    void setAuthorizationStatus(Speech::AuthorizationStatus value);

    bool m_isListening = false;
    QString m_lastRecognizedText;
    QString m_lastHeardCommand;
    Speech::AuthorizationStatus m_authorizationStatus = Speech::AuthorizationStatus::NotDetermined;
    std::function<void()> m_onStartCommand;
    std::function<void()> m_onStopCommand;

    std::shared_ptr<SpeechRecognizer> m_recognizer;
    std::unique_ptr<AudioEngine> m_audioEngine;
    std::shared_ptr<SpeechAudioBufferRecognitionRequest> m_request;
    std::shared_ptr<SpeechRecognitionTask> m_task;
    Clock m_clock;
    double m_lastTriggerTime;
    std::optional<double> m_resultStopPhraseStart; // of the result being checked
    // How much of this task's transcript a command was already taken from:
    // its later results repeat it, and a busy main thread may let them
    // through after the cooldown.
    qsizetype m_transcriptUsed = 0;
    std::optional<double> m_lastCommandPhraseStart;
    const double m_triggerCooldownSeconds = 0.8;
};
