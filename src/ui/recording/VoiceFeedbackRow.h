#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class CameraManager;
class ElidedLabel;
class MicrophoneLevelMeter;
class RecordButton;
class RecordingViewState;
class SpeechRecognitionManager;

// Row 3 of the control panel: what the voice listener last heard, and the
// record button, centred in the room the two badges leave.
class VoiceFeedbackRow : public QWidget {
    Q_OBJECT

public:
    VoiceFeedbackRow(CameraManager *cameraManager, SpeechRecognitionManager *speechManager, RecordingViewState *state,
        QWidget *parent = nullptr);

    // "语音指令不可用…", shown while the system has no microphone.
    ElidedLabel *voiceUnavailableBadge() const { return m_voiceUnavailable; }
    ElidedLabel *heardCommandBadge() const { return m_heardCommand; }
    ElidedLabel *recognitionBadge() const { return m_recognition; }
    RecordButton *recordButton() const { return m_recordButton; }
    // Replaces what the button does; by default it configures the camera and
    // starts, or stops.
    void setRecordAction(std::function<void()> action) { m_recordAction = std::move(action); }
    MicrophoneLevelMeter *microphoneMeter() const { return m_microphoneMeter; }

private:
    void refreshBadges();
    void refreshRecordButton();
    void onRecordButton();

    QPointer<CameraManager> m_cameraManager;
    QPointer<SpeechRecognitionManager> m_speechManager;
    RecordingViewState *m_state;
    ElidedLabel *m_voiceUnavailable;
    ElidedLabel *m_heardCommand;
    ElidedLabel *m_recognition;
    RecordButton *m_recordButton;
    std::function<void()> m_recordAction;
    MicrophoneLevelMeter *m_microphoneMeter;
};
