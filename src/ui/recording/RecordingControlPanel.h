#pragma once

#include <QPointer>
#include <QWidget>

class CameraManager;
class CameraRow;
class QVBoxLayout;
class RecordingViewState;
class SpeechRecognitionManager;
class VoiceFeedbackRow;

// The lower part of the recording screen: three rows on the control
// background. Row 2, the teleprompter controls, is handed in.
class RecordingControlPanel : public QWidget {
    Q_OBJECT

public:
    RecordingControlPanel(CameraManager *cameraManager, SpeechRecognitionManager *speechManager,
        RecordingViewState *state, QWidget *parent = nullptr);

    // Puts `row` between rows 1 and 3 (and owns it); replaces an earlier one.
    void setTeleprompterControls(QWidget *row);
    QWidget *teleprompterControls() const { return m_teleprompterControls; }

    CameraRow *cameraRow() const { return m_cameraRow; }
    VoiceFeedbackRow *voiceFeedbackRow() const { return m_voiceRow; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyBackground();

    QVBoxLayout *m_rows;
    CameraRow *m_cameraRow;
    QPointer<QWidget> m_teleprompterControls;
    VoiceFeedbackRow *m_voiceRow;
};
