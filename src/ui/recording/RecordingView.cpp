#include "ui/recording/RecordingView.h"

#include "platform/media/SystemCapturePermissions.h"
#include "platform/media/SystemDeviceProvider.h"
#include "ui/common/AppFont.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordingAids.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/TeleprompterView.h"
#include "ui/recording/VoiceCommandWiring.h"
#include "voice/SpeechRecognitionManager.h"

#include <QShowEvent>
#include <QVBoxLayout>

RecordingView::RecordingView(CameraManager *cameraManager, DatabaseManager *dbManager,
    SpeechRecognitionManager *speechManager, std::optional<Script> initialScript, QWidget *parent)
    : RecordingView(cameraManager, dbManager, speechManager, std::move(initialScript), nullptr, parent)
{
}

RecordingView::RecordingView(CameraManager *cameraManager, DatabaseManager *dbManager,
    SpeechRecognitionManager *speechManager, std::optional<Script> initialScript,
    std::shared_ptr<CapturePermissions> microphoneAccess, QWidget *parent)
    : QWidget(parent), m_cameraManager(cameraManager), m_dbManager(dbManager),
      m_speechManager(speechManager ? speechManager : new SpeechRecognitionManager(this)),
      m_initialScript(std::move(initialScript)), m_viewState(new RecordingViewState(this))
{
    setFont(AppFont::pixelFont(13));
    if (!microphoneAccess) {
        microphoneAccess = std::make_shared<SystemCapturePermissions>(SystemDeviceProvider::shared());
    }
    m_voiceCommands = new VoiceCommandWiring(cameraManager, m_speechManager, m_viewState, microphoneAccess, this);
    m_pictureArea = new PictureArea(cameraManager, m_viewState, this);
    m_controlPanel = new RecordingControlPanel(cameraManager, m_speechManager, m_viewState, this);
    m_pictureArea->setTeleprompterView(new TeleprompterView(m_viewState));
    m_controlPanel->setTeleprompterControls(new TeleprompterControlsRow(m_viewState, dbManager));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pictureArea, 1);
    layout->addWidget(m_controlPanel, 0);
    m_aids = new RecordingAids(this, cameraManager, m_viewState, m_pictureArea, m_controlPanel, m_speechManager);
}

RecordingView::~RecordingView()
{
    // The widgets point at the view state and the listener, which were made
    // before them and so would go first: the widgets go now, then the rest.
    qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
    delete m_voiceCommands;
    delete m_viewState;
}

void RecordingView::setInitialScript(const std::optional<Script> &script)
{
    m_initialScript = script;
}

QString RecordingView::teleprompterText() const
{
    return m_viewState->teleprompterText();
}

bool RecordingView::isTeleprompterVisible() const
{
    return m_viewState->isTeleprompterVisible();
}

void RecordingView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Coming back from a minimised window is not coming on screen again.
    if (!event->spontaneous()) {
        onAppear();
    }
}

void RecordingView::onAppear()
{
    if (m_initialScript) {
        m_viewState->setTeleprompterText(m_initialScript->content);
        m_viewState->setIsTeleprompterVisible(true);
    }
    m_voiceCommands->whenShown();
    m_aids->letVoiceStopCancelTheCountdown(m_voiceCommands);
}
