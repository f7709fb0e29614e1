#include "ui/recording/RecordingCountdown.h"

#include "capture/CameraManager.h"
#include "library/RecordingOptions.h"
#include "platform/MainQueue.h"
#include "platform/media/BeepPlayer.h"
#include "ui/recording/RecordingViewState.h"

RecordingCountdown::RecordingCountdown(
    CameraManager *cameraManager, RecordingViewState *state, RecordingOptions *options, QObject *parent)
    : QObject(parent), m_cameraManager(cameraManager), m_state(state), m_options(options)
{
    m_delay = [this](double seconds, std::function<void()> task) { MainQueue::after(seconds, this, std::move(task)); };
    m_beep = [this] {
        prepareBeep();
        m_beepPlayer->beep(beepFrequencyHz);
    };
    if (options) {
        connect(options, &RecordingOptions::isCountdownEnabledChanged, this, [this] {
            if (m_options && m_options->isCountdownEnabled()) {
                prepareBeep();
            }
        });
        if (options->isCountdownEnabled()) {
            prepareBeep();
        }
    }
    if (cameraManager) {
        connect(cameraManager, &CameraManager::isRecordingChanged, this, [this] {
            if (m_cameraManager && m_cameraManager->isRecording()) {
                cancel();
            }
        });
    }
}

void RecordingCountdown::setBeep(Beep beep)
{
    m_beep = std::move(beep);
    m_usesOwnBeep = false;
    delete m_beepPlayer;
}

BeepPlayer *RecordingCountdown::beepPlayer() const
{
    return m_beepPlayer;
}

void RecordingCountdown::prepareBeep()
{
    // Made once the option is on, no sooner: no sound pipeline for a user who
    // never counts down, and none built on this thread when the count starts.
    if (!m_usesOwnBeep) {
        return;
    }
    if (!m_beepPlayer) {
        m_beepPlayer = new BeepPlayer(QStringLiteral("autoaudiosink"), this);
    }
    m_beepPlayer->prepare();
}

void RecordingCountdown::toggleRecording()
{
    if (!m_cameraManager) {
        return;
    }
    if (isCounting()) {
        cancel();
    } else if (m_cameraManager->isTakeUnderWay()) {
        // Also a take still starting: a second press must not be lost.
        m_cameraManager->stopRecording();
    } else if (!m_cameraManager->selectedDevice()) {
        return; // no camera: the screen says so
    } else if (m_options && m_options->isCountdownEnabled()) {
        count(countSeconds);
    } else {
        startNow();
    }
}

void RecordingCountdown::cancel()
{
    ++m_generation;
    setRemaining(0);
}

void RecordingCountdown::count(int remaining)
{
    const quint64 generation = ++m_generation;
    setRemaining(remaining);
    if (m_beep) {
        m_beep();
    }
    m_delay(1.0, [self = QPointer<RecordingCountdown>(this), generation, remaining] {
        if (!self || self->m_generation != generation) {
            return;
        }
        if (remaining > 1) {
            self->count(remaining - 1);
        } else {
            self->setRemaining(0);
            self->startNow();
        }
    });
}

void RecordingCountdown::startNow()
{
    if (!m_cameraManager || m_cameraManager->isTakeUnderWay() || !m_cameraManager->selectedDevice()) {
        return;
    }
    const VideoResolution resolution = m_state ? m_state->selectedResolution() : VideoResolution::p1080;
    const VideoAspectRatio ratio = m_state ? m_state->selectedAspectRatio() : VideoAspectRatio::ratio16x9;
    m_cameraManager->configureResolution(resolution, ratio);
    m_cameraManager->startRecording();
}

void RecordingCountdown::setRemaining(int remaining)
{
    if (m_remaining == remaining) {
        return;
    }
    m_remaining = remaining;
    Q_EMIT remainingSecondsChanged();
}
