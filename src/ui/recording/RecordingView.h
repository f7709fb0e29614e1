#pragma once

#include "library/Script.h"
#include "voice/SpeechRecognitionManager.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class CameraManager;
class CapturePermissions;
class DatabaseManager;
class PictureArea;
class RecordingAids;
class RecordingControlPanel;
class RecordingViewState;

class VoiceCommandWiring;

// The recording tab: the picture area over the control panel. It keeps the
// user's choices in its view state, reads the managers' published state and
// calls their operations; it holds no recording logic of its own.
class RecordingView : public QWidget {
    Q_OBJECT

public:
    // `speechManager` may be null: the screen then makes and owns its own listener.
    RecordingView(CameraManager *cameraManager, DatabaseManager *dbManager, SpeechRecognitionManager *speechManager,
        std::optional<Script> initialScript, QWidget *parent = nullptr);
    // With the microphone access request handed in (tests); null asks the system.
    RecordingView(CameraManager *cameraManager, DatabaseManager *dbManager, SpeechRecognitionManager *speechManager,
        std::optional<Script> initialScript, std::shared_ptr<CapturePermissions> microphoneAccess,
        QWidget *parent = nullptr);
    ~RecordingView() override;

    void setInitialScript(const std::optional<Script> &script);
    const std::optional<Script> &initialScript() const { return m_initialScript; }

    RecordingViewState *viewState() const { return m_viewState; }
    QString teleprompterText() const;
    bool isTeleprompterVisible() const;

    CameraManager *cameraManager() const { return m_cameraManager; }
    DatabaseManager *dbManager() const { return m_dbManager; }
    SpeechRecognitionManager *speechManager() const { return m_speechManager; }

    PictureArea *pictureArea() const { return m_pictureArea; }
    RecordingControlPanel *controlPanel() const { return m_controlPanel; }
    VoiceCommandWiring *voiceCommands() const { return m_voiceCommands; }

    // The options, the countdown, the elapsed time and the keys.
    RecordingAids *aids() const { return m_aids; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void onAppear();

    CameraManager *m_cameraManager;
    DatabaseManager *m_dbManager;
    // Handed in by the caller, who may end it first; or made here.
    QPointer<SpeechRecognitionManager> m_speechManager;
    std::optional<Script> m_initialScript;

    RecordingViewState *m_viewState;
    PictureArea *m_pictureArea;
    RecordingControlPanel *m_controlPanel;
    VoiceCommandWiring *m_voiceCommands;
    RecordingAids *m_aids;
};
