#include "ui/recording/RecordingControlPanel.h"

#include "ui/common/UiStyle.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <QEvent>
#include <QVBoxLayout>

RecordingControlPanel::RecordingControlPanel(
    CameraManager *cameraManager, SpeechRecognitionManager *speechManager, RecordingViewState *state, QWidget *parent)
    : QWidget(parent), m_rows(new QVBoxLayout(this)), m_cameraRow(new CameraRow(cameraManager, state, this)),
      m_voiceRow(new VoiceFeedbackRow(cameraManager, speechManager, state, this))
{
    m_rows->setContentsMargins(18, 12, 18, 12);
    m_rows->setSpacing(10);
    m_rows->addWidget(m_cameraRow);
    m_rows->addWidget(m_voiceRow);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAutoFillBackground(true);
    applyBackground();
}

void RecordingControlPanel::setTeleprompterControls(QWidget *row)
{
    if (row == m_teleprompterControls) {
        return;
    }
    delete m_teleprompterControls;
    m_teleprompterControls = row;
    if (row) {
        m_rows->insertWidget(1, row);
    }
}

void RecordingControlPanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        applyBackground();
    }
}

void RecordingControlPanel::applyBackground()
{
    const QColor background = UiStyle::controlBackground(palette());
    if (palette().color(QPalette::Window) != background) {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, background);
        setPalette(palette);
    }
}
