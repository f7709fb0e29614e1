#include "ui/recording/VoiceFeedbackRow.h"

#include "capture/CameraManager.h"
#include "ui/common/AppFont.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/PriorityRowLayout.h"
#include "ui/common/UiStyle.h"
#include "ui/recording/MicrophoneLevelMeter.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingViewState.h"
#include "voice/SpeechRecognitionManager.h"

namespace {
constexpr int rowSpacing = 14;
// A green that reads on the light control background.
const QColor heardGreen(36, 138, 61);

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}
} // namespace

VoiceFeedbackRow::VoiceFeedbackRow(
    CameraManager *cameraManager, SpeechRecognitionManager *speechManager, RecordingViewState *state, QWidget *parent)
    : QWidget(parent), m_cameraManager(cameraManager), m_speechManager(speechManager), m_state(state),
      m_voiceUnavailable(new ElidedLabel(Qt::ElideRight, this)), m_heardCommand(new ElidedLabel(Qt::ElideRight, this)),
      m_recognition(new ElidedLabel(Qt::ElideRight, this)), m_recordButton(new RecordButton(this)),
      m_microphoneMeter(new MicrophoneLevelMeter(cameraManager ? cameraManager->microphoneLevel() : nullptr, this))
{
    m_heardCommand->setFont(AppFont::pixelFont(13, QFont::Medium));
    setTextColor(m_heardCommand, heardGreen);
    m_heardCommand->setBadge(withAlpha(heardGreen, 0.12), QMargins(10, 4, 10, 4), 6);

    m_voiceUnavailable->setFont(AppFont::pixelFont(12, QFont::Medium));
    setTextColor(m_voiceUnavailable, UiStyle::secondaryText(palette()));
    m_voiceUnavailable->setBadge(withAlpha(QColor(128, 128, 128), 0.1), QMargins(8, 4, 8, 4), 6);
    m_voiceUnavailable->setText(QStringLiteral("语音指令不可用：未找到麦克风"));
    m_voiceUnavailable->setAccessibleName(m_voiceUnavailable->text());

    m_recognition->setFont(AppFont::pixelFont(12));
    setTextColor(m_recognition, UiStyle::secondaryText(palette()));
    m_recognition->setBadge(withAlpha(QColor(128, 128, 128), 0.1), QMargins(8, 4, 8, 4), 6);
    m_recognition->setMinimumCharacters(8);

    auto *row = new PriorityRowLayout(this);
    row->setSpacing(rowSpacing);
    row->setContentsMargins(0, 2, 0, 2);
    row->addWidget(m_voiceUnavailable, 1);
    row->addWidget(m_heardCommand, 1);
    row->addWidget(m_recognition, 0);
    // The meter at the end is balanced by an empty twin before the button, so
    // the button stays centred where it was; the twin gives way first.
    row->addWidget(MicrophoneLevelMeter::makeCounterweight(this), 0);
    row->addFlexibleSpace();
    row->addWidget(m_recordButton);
    row->addFlexibleSpace();
    row->addWidget(m_microphoneMeter);

    connect(m_recordButton, &RecordButton::clicked, this, &VoiceFeedbackRow::onRecordButton);
    if (cameraManager) {
        for (auto signal : {&CameraManager::isRecordingChanged, &CameraManager::isStartingRecordingChanged,
                 &CameraManager::selectedDeviceChanged}) {
            connect(cameraManager, signal, this, &VoiceFeedbackRow::refreshRecordButton);
        }
        connect(cameraManager, &CameraManager::hasMicrophoneChanged, this, &VoiceFeedbackRow::refreshBadges);
    }
    if (speechManager) {
        connect(
            speechManager, &SpeechRecognitionManager::lastHeardCommandChanged, this, &VoiceFeedbackRow::refreshBadges);
        connect(speechManager, &SpeechRecognitionManager::lastRecognizedTextChanged, this,
            &VoiceFeedbackRow::refreshBadges);
    }
    m_microphoneMeter->setVisible(cameraManager != nullptr);
    refreshBadges();
    refreshRecordButton();
}

void VoiceFeedbackRow::refreshBadges()
{
    const QString heard = m_speechManager ? m_speechManager->lastHeardCommand() : QString();
    const QString recognized = m_speechManager ? m_speechManager->lastRecognizedText() : QString();
    // Without a microphone nothing can be heard: say so where the commands show.
    const bool noMicrophone = m_cameraManager && !m_cameraManager->hasMicrophone();
    m_voiceUnavailable->setVisible(noMicrophone);
    m_heardCommand->setText(heard);
    m_heardCommand->setVisible(!heard.isEmpty() && !noMicrophone);
    m_recognition->setText(QStringLiteral("识别中: ") + recognized);
    m_recognition->setVisible(!recognized.isEmpty());
}

void VoiceFeedbackRow::refreshRecordButton()
{
    m_recordButton->setRecording(m_cameraManager && m_cameraManager->isRecording());
    m_recordButton->setStarting(m_cameraManager && m_cameraManager->isStartingRecording());
    m_recordButton->setCanStart(m_cameraManager && m_cameraManager->selectedDevice().has_value());
}

void VoiceFeedbackRow::onRecordButton()
{
    // The button leaves the voice listener alone.
    if (m_recordAction) {
        m_recordAction();
        return;
    }
    if (!m_cameraManager) {
        return;
    }
    if (m_cameraManager->isTakeUnderWay()) {
        m_cameraManager->stopRecording();
    } else if (m_cameraManager->selectedDevice()) {
        m_cameraManager->configureResolution(m_state->selectedResolution(), m_state->selectedAspectRatio());
        m_cameraManager->startRecording();
    }
}
