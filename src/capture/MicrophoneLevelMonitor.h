#pragma once

#include "platform/media/MicrophoneLevel.h"

#include <QObject>
#include <QTimer>

#include <functional>

// The microphone's loudness as the recording hears it, for the meter: the
// capture pipeline's readings, at most one main-thread update per reading
// however late the main thread is, and whether a take has heard nothing but
// digital silence for a while. Main thread, except the reporter.
class MicrophoneLevelMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(double rmsDb READ rmsDb NOTIFY levelChanged)
    Q_PROPERTY(double peakDb READ peakDb NOTIFY levelChanged)
    Q_PROPERTY(bool isSilent READ isSilent NOTIFY isSilentChanged)

public:
    // Seconds on a monotonic clock.
    using Clock = std::function<double()>;

    // A take is silent after this long without a sample above digital silence.
    static constexpr double silenceSeconds = 3.0;
    // Below one step of 16-bit sound: nothing but zeros.
    static constexpr double digitalSilenceDb = -96.0;
    // Readings stop with the microphone; the meter then falls to nothing.
    static constexpr double staleSeconds = 0.5;

    explicit MicrophoneLevelMonitor(QObject *parent = nullptr);
    ~MicrophoneLevelMonitor() override;

    // Tests move time by hand; silence is then checked with checkSilence().
    void setClock(Clock clock);

    // For the capture pipeline: takes a reading on any thread and passes the
    // newest one to publish() on the main thread. Safe after this is gone.
    std::function<void(const MicrophoneLevel &)> reporter();

    void publish(const MicrophoneLevel &level);
    void setRecording(bool isRecording);
    // Runs four times a second by itself.
    void checkSilence();

    MicrophoneLevel level() const { return m_level; }
    double rmsDb() const { return m_level.rmsDb; }
    double peakDb() const { return m_level.peakDb; }
    bool isSilent() const { return m_isSilent; }

Q_SIGNALS:
    void levelChanged();
    void isSilentChanged();

private:
    struct Mailbox;

    Clock m_clock;
    std::shared_ptr<Mailbox> m_mailbox;
    QTimer m_timer;
    MicrophoneLevel m_level;
    bool m_isRecording = false;
    bool m_isSilent = false;
    double m_lastReadingTime = 0;
    double m_lastSoundTime = 0; // or the take's start, whichever is later
};
