// The recording screen's aids beyond its three rows: the options menu at the
// end of row 1, the mirrors, the countdown before a start, the elapsed time in
// the indicator and the keys. Each lives in a class of its own; this only
// connects them to the parts of the screen.
#include "ui/recording/RecordingView.h"

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
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/TeleprompterView.h"
#include "ui/recording/VoiceCommandWiring.h"
#include "ui/recording/VoiceFeedbackRow.h"
#include "voice/SpeechRecognitionManager.h"

#include <QPointer>
#include <QPushButton>
#include <QSlider>

void RecordingView::addRecordingAids()
{
    m_options = new RecordingOptions(this);
    m_optionsButton = new RecordingOptionsButton(m_options, m_viewState);
    m_controlPanel->cameraRow()->addTrailingItem(m_optionsButton);

    // Looked up each time: the picture area may have replaced its teleprompter.
    auto applyMirrors = [this] {
        m_pictureArea->preview()->setMirrored(m_options->isMirroringPreview());
        if (auto *teleprompter = qobject_cast<TeleprompterView *>(m_pictureArea->teleprompterView())) {
            teleprompter->setMirrored(m_options->isMirroringText());
        }
    };
    connect(m_options, &RecordingOptions::isMirroringPreviewChanged, this, applyMirrors);
    connect(m_options, &RecordingOptions::isMirroringTextChanged, this, applyMirrors);
    applyMirrors();

    m_countdown = new RecordingCountdown(m_cameraManager, m_viewState, m_options, this);
    new CountdownOverlay(m_countdown, m_pictureArea);
    RecordButton *recordButton = m_controlPanel->voiceFeedbackRow()->recordButton();
    m_controlPanel->voiceFeedbackRow()->setRecordAction([this] { m_countdown->toggleRecording(); });
    connect(m_countdown, &RecordingCountdown::remainingSecondsChanged, recordButton,
        [this, recordButton] { recordButton->setCountingDown(m_countdown->isCounting()); });

    m_recordingTimer = new RecordingTimer({}, this);
    RecordingIndicator *indicator = m_pictureArea->indicator();
    connect(m_recordingTimer, &RecordingTimer::elapsedTextChanged, indicator,
        [this, indicator] { indicator->setElapsedText(m_recordingTimer->elapsedText()); });
    if (m_cameraManager) {
        connect(m_cameraManager, &CameraManager::recordingStartedAtChanged, m_recordingTimer,
            [this] { m_recordingTimer->setStartedAt(m_cameraManager->recordingStartedAt()); });
    }

    m_shortcuts = new RecordingShortcuts(
        this, m_viewState, [this] { m_countdown->toggleRecording(); }, this);
    if (auto *controls = qobject_cast<TeleprompterControlsRow *>(m_controlPanel->teleprompterControls())) {
        RecordingShortcuts::describe(
            recordButton, controls->startPauseButton(), controls->resetButton(), controls->speedSlider());
    }
}

void RecordingView::letVoiceStopCancelTheCountdown()
{
    // Wraps the action the wiring has just installed; with no count under
    // way the stop is exactly the wiring's.
    std::function<void()> stop = m_voiceCommands->stopCommandAction();
    m_speechManager->setOnStopCommand([stop, countdown = QPointer<RecordingCountdown>(m_countdown)] {
        if (countdown && countdown->isCounting()) {
            countdown->cancel();
            return;
        }
        stop();
    });
}
