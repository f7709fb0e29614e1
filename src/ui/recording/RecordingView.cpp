#include "ui/recording/RecordingView.h"

#include "voice/SpeechRecognitionManager.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QVBoxLayout>

RecordingView::RecordingView(CameraManager *cameraManager, DatabaseManager *dbManager,
    SpeechRecognitionManager *speechManager, std::optional<Script> initialScript, QWidget *parent)
    : QWidget(parent), m_cameraManager(cameraManager), m_dbManager(dbManager),
      m_speechManager(speechManager ? speechManager : new SpeechRecognitionManager(this)),
      m_initialScript(std::move(initialScript))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_picture = new QLabel(this);
    m_picture->setAutoFillBackground(true);
    m_picture->setStyleSheet(QStringLiteral("background: black;"));
    m_picture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(m_picture, 1);

    m_teleprompter = new QPlainTextEdit(this);
    m_teleprompter->setReadOnly(true);
    m_teleprompter->hide();
    layout->addWidget(m_teleprompter, 1);
}

void RecordingView::setInitialScript(const std::optional<Script> &script)
{
    m_initialScript = script;
}

void RecordingView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        onAppear();
    }
}

void RecordingView::onAppear()
{
    if (m_initialScript) {
        m_teleprompterText = m_initialScript->content;
        m_isTeleprompterVisible = true;
    }
    updateTeleprompter();
}

void RecordingView::updateTeleprompter()
{
    if (m_teleprompter->toPlainText() != m_teleprompterText) {
        m_teleprompter->setPlainText(m_teleprompterText);
    }
    m_teleprompter->setVisible(m_isTeleprompterVisible && !m_teleprompterText.isEmpty());
}
