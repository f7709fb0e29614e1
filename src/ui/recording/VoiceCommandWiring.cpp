#include "ui/recording/VoiceCommandWiring.h"

#include "capture/CameraManager.h"
#include "platform/MainQueue.h"
#include "platform/media/CapturePermissions.h"
#include "ui/recording/RecordingViewState.h"
#include "voice/SpeechRecognitionManager.h"

#include <QCoreApplication>

VoiceCommandWiring::VoiceCommandWiring(CameraManager *cameraManager, SpeechRecognitionManager *speechManager,
    RecordingViewState *state, std::shared_ptr<CapturePermissions> microphoneAccess, QObject *parent)
    : QObject(parent), m_cameraManager(cameraManager), m_speechManager(speechManager), m_state(state),
      m_microphoneAccess(std::move(microphoneAccess)), m_delay([](double seconds, std::function<void()> task) {
          // The application is the context: the steps outlive the screen.
          MainQueue::after(seconds, QCoreApplication::instance(), std::move(task));
      })
{
}

void VoiceCommandWiring::whenShown()
{
    if (!m_speechManager) {
        return;
    }
    QPointer<SpeechRecognitionManager> listener = m_speechManager;
    std::shared_ptr<CapturePermissions> access = m_microphoneAccess;
    listener->requestAuthorization([listener, access](bool authorized) {
        if (!authorized || !access) {
            return;
        }
        access->requestAccess(MediaType::audio, [listener](bool granted) {
            if (!granted) {
                return;
            }
            // The answer may come on any thread; listening starts on the main one.
            MainQueue::post(QCoreApplication::instance(), [listener] {
                if (listener) {
                    listener->startListening();
                }
            });
        });
    });
    // At once, without waiting for the answers above.
    listener->setOnStartCommand(startCommandAction());
    listener->setOnStopCommand(stopCommandAction());
}

std::function<void()> VoiceCommandWiring::startCommandAction() const
{
    return [camera = m_cameraManager, listener = m_speechManager, state = m_state, delay = m_delay] {
        if (!camera || camera->isTakeUnderWay() || !camera->selectedDevice()) {
            return;
        }
        if (listener) {
            // The listener hears the take's own microphone, so nothing is freed:
            // the pause only ends the current recognition.
            listener->pauseForRecording();
        }
        // The choices shown when the command came, in case the screen is gone by then.
        const VideoResolution resolution = state ? state->selectedResolution() : VideoResolution::p1080;
        const VideoAspectRatio ratio = state ? state->selectedAspectRatio() : VideoAspectRatio::ratio16x9;
        delay(startDelaySeconds, [camera, listener, state, delay, resolution, ratio] {
            if (camera) {
                camera->configureResolution(
                    state ? state->selectedResolution() : resolution, state ? state->selectedAspectRatio() : ratio);
                camera->startRecording();
            }
            delay(resumeDelaySeconds, [listener] {
                if (listener) {
                    listener->resumeAfterRecording(); // so the stop keyword is heard
                }
            });
        });
    };
}

std::function<void()> VoiceCommandWiring::stopCommandAction() const
{
    return [camera = m_cameraManager, listener = m_speechManager] {
        // A take still starting is ended too, or the spoken stop is lost.
        if (camera && camera->isTakeUnderWay()) {
            // Where the phrase began, so the take can end before it.
            camera->stopRecordingByVoice(listener ? listener->lastCommandPhraseStart() : std::nullopt);
        }
    };
}
