#pragma once

#include "library/VideoAspectRatio.h"
#include "library/VideoResolution.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class CameraManager;
class CapturePermissions;
class RecordingViewState;
class SpeechRecognitionManager;

// Connects the voice listener to the camera manager: asks for permission and
// starts listening each time the screen is shown, and installs the start and
// stop actions. Every deferred step holds the managers weakly and does nothing
// once the one it needs is gone.
class VoiceCommandWiring : public QObject {
    Q_OBJECT

public:
    static constexpr double startDelaySeconds = 0.3;
    static constexpr double resumeDelaySeconds = 0.5;

    // Runs `task` on the main thread `seconds` from now; never cancelled.
    using Delay = std::function<void(double seconds, std::function<void()> task)>;

    VoiceCommandWiring(CameraManager *cameraManager, SpeechRecognitionManager *speechManager, RecordingViewState *state,
        std::shared_ptr<CapturePermissions> microphoneAccess, QObject *parent = nullptr);

    // Tests hand in a delay they run by hand.
    void setDelay(Delay delay) { m_delay = std::move(delay); }

    // Authorization, then microphone access, then listening; and the two actions.
    void whenShown();

    // The actions as installed on the listener.
    std::function<void()> startCommandAction() const;
    std::function<void()> stopCommandAction() const;

private:
    QPointer<CameraManager> m_cameraManager;
    QPointer<SpeechRecognitionManager> m_speechManager;
    QPointer<RecordingViewState> m_state;
    std::shared_ptr<CapturePermissions> m_microphoneAccess;
    Delay m_delay;
};
