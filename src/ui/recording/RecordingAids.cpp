#include "ui/recording/RecordingAids.h"

#include "capture/CameraManager.h"
#include "library/RecordingOptions.h"
#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/CountdownOverlay.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingCountdown.h"
#include "ui/recording/RecordingIndicator.h"
#include "ui/recording/RecordingOptionsButton.h"
#include "ui/recording/RecordingShortcuts.h"
#include "ui/recording/RecordingTimer.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/TeleprompterView.h"
#include "ui/recording/VoiceCommandWiring.h"
#include "ui/recording/VoiceFeedbackRow.h"
#include "ui/recording/VoiceFollower.h"
#include "voice/SpeechRecognitionManager.h"

#include <QPushButton>
#include <QSlider>

RecordingAids::RecordingAids(QWidget *screen, CameraManager *cameraManager, RecordingViewState *viewState,
    PictureArea *pictureArea, RecordingControlPanel *controlPanel, SpeechRecognitionManager *speechManager)
    : QObject(screen), m_cameraManager(cameraManager), m_viewState(viewState), m_pictureArea(pictureArea),
      m_controlPanel(controlPanel), m_speechManager(speechManager)
{
    m_options = new RecordingOptions(this);
    m_optionsButton = new RecordingOptionsButton(m_options, viewState);
    controlPanel->cameraRow()->addTrailingItem(m_optionsButton);

    connect(m_options, &RecordingOptions::isMirroringPreviewChanged, this, &RecordingAids::applyMirrors);
    connect(m_options, &RecordingOptions::isMirroringTextChanged, this, &RecordingAids::applyMirrors);
    applyMirrors();

    if (auto *teleprompter = qobject_cast<TeleprompterView *>(pictureArea->teleprompterView())) {
        VoiceFollower::attach(viewState, teleprompter, speechManager);
    }
    addCountdown();
    addTimer();

    m_shortcuts = new RecordingShortcuts(
        screen, viewState,
        [countdown = m_countdown] {
            if (countdown) {
                countdown->toggleRecording();
            }
        },
        this);
    if (auto *controls = qobject_cast<TeleprompterControlsRow *>(controlPanel->teleprompterControls())) {
        RecordingShortcuts::describe(controlPanel->voiceFeedbackRow()->recordButton(), controls->startPauseButton(),
            controls->resetButton(), controls->speedSlider());
    }
}

RecordingOptions *RecordingAids::options() const
{
    return m_options;
}

RecordingOptionsButton *RecordingAids::optionsButton() const
{
    return m_optionsButton;
}

RecordingCountdown *RecordingAids::countdown() const
{
    return m_countdown;
}

RecordingTimer *RecordingAids::recordingTimer() const
{
    return m_recordingTimer;
}

RecordingShortcuts *RecordingAids::shortcuts() const
{
    return m_shortcuts;
}

void RecordingAids::applyMirrors()
{
    if (!m_pictureArea || !m_options) {
        return;
    }
    m_pictureArea->preview()->setMirrored(m_options->isMirroringPreview());
    // Looked up each time: the picture area may have replaced its teleprompter.
    if (auto *teleprompter = qobject_cast<TeleprompterView *>(m_pictureArea->teleprompterView())) {
        teleprompter->setMirrored(m_options->isMirroringText());
    }
}

void RecordingAids::addCountdown()
{
    m_countdown = new RecordingCountdown(m_cameraManager, m_viewState, m_options, this);
    new CountdownOverlay(m_countdown, m_pictureArea);
    RecordButton *recordButton = m_controlPanel->voiceFeedbackRow()->recordButton();
    m_controlPanel->voiceFeedbackRow()->setRecordAction([countdown = m_countdown] {
        if (countdown) {
            countdown->toggleRecording();
        }
    });
    connect(m_countdown, &RecordingCountdown::remainingSecondsChanged, recordButton,
        [countdown = m_countdown, recordButton] { recordButton->setCountingDown(countdown->isCounting()); });
}

void RecordingAids::addTimer()
{
    m_recordingTimer = new RecordingTimer({}, this);
    RecordingIndicator *indicator = m_pictureArea->indicator();
    connect(m_recordingTimer, &RecordingTimer::elapsedTextChanged, indicator,
        [timer = m_recordingTimer, indicator] { indicator->setElapsedText(timer->elapsedText()); });
    if (m_cameraManager) {
        connect(m_cameraManager, &CameraManager::recordingStartedAtChanged, m_recordingTimer,
            [timer = m_recordingTimer, camera = m_cameraManager] {
                if (camera) {
                    timer->setStartedAt(camera->recordingStartedAt());
                }
            });
    }
}

void RecordingAids::letVoiceStopCancelTheCountdown(VoiceCommandWiring *voiceCommands)
{
    if (!m_speechManager || !voiceCommands) {
        return;
    }
    // With no count under way the stop is exactly the wiring's.
    std::function<void()> stop = voiceCommands->stopCommandAction();
    m_speechManager->setOnStopCommand([stop, countdown = m_countdown] {
        if (countdown && countdown->isCounting()) {
            countdown->cancel();
            return;
        }
        stop();
    });
}
