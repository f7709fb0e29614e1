#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class BeepPlayer;
class CameraManager;
class RecordingOptions;
class RecordingViewState;

// What the record button and F5 do. A stop stops; a start configures the
// camera and starts at once, or, with "录制前倒计时" on, first counts 3-2-1
// with a beep each second and starts when the count is over, with the choices
// shown at that moment. Pressing again during the count cancels it, and so
// does a recording started meanwhile (by voice). Voice commands never come
// through here: they keep their own short delay.
class RecordingCountdown : public QObject {
    Q_OBJECT
    Q_PROPERTY(int remainingSeconds READ remainingSeconds NOTIFY remainingSecondsChanged)

public:
    static constexpr int countSeconds = 3;
    static constexpr int beepFrequencyHz = 880;

    // Runs `task` on the main thread `seconds` from now.
    using Delay = std::function<void(double seconds, std::function<void()> task)>;
    using Beep = std::function<void()>;

    RecordingCountdown(
        CameraManager *cameraManager, RecordingViewState *state, RecordingOptions *options, QObject *parent = nullptr);

    // Tests hand in a delay they run by hand and a beep they count.
    void setDelay(Delay delay) { m_delay = std::move(delay); }
    void setBeep(Beep beep);

    // The player of the countdown's own beep, made and prepared when the
    // option is turned on; null before, and once a test has handed in a beep.
    BeepPlayer *beepPlayer() const;

    // The button's and the key's action.
    void toggleRecording();
    void cancel();

    bool isCounting() const { return m_remaining > 0; }
    // 3, 2, 1 during the count; 0 otherwise.
    int remainingSeconds() const { return m_remaining; }

Q_SIGNALS:
    void remainingSecondsChanged();

private:
    void startNow();
    void count(int remaining);
    void setRemaining(int remaining);
    void prepareBeep();

    QPointer<CameraManager> m_cameraManager;
    QPointer<RecordingViewState> m_state;
    QPointer<RecordingOptions> m_options;
    Delay m_delay;
    Beep m_beep;
    bool m_usesOwnBeep = true;
    QPointer<BeepPlayer> m_beepPlayer;
    int m_remaining = 0;
    // Steps scheduled for an earlier count do nothing.
    quint64 m_generation = 0;
};
