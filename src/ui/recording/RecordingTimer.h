#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// The elapsed time of the take under way, as the recording indicator shows it
// beside "录制中": "00:12", then "1:02:03" past an hour. It counts from the
// take's first written picture and changes exactly when a whole second has
// passed.
class RecordingTimer : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString elapsedText READ elapsedText NOTIFY elapsedTextChanged)

public:
    // Seconds on the steady clock, the clock of CameraManager::recordingStartedAt.
    using Clock = std::function<double()>;

    explicit RecordingTimer(Clock clock = {}, QObject *parent = nullptr);

    // Tests set a clock they move by hand.
    void setClock(Clock clock);

    // "mm:ss" under an hour, "h:mm:ss" from there on; whole seconds, cut
    // toward zero. Anything below zero or not a number reads "00:00".
    static QString format(double seconds);

    // The take's time 0, or none while no take has written a picture.
    void setStartedAt(std::optional<double> startedAt);
    std::optional<double> startedAt() const { return m_startedAt; }

    QString elapsedText() const { return m_text; }
    // Reads the clock now; the timer calls it at each whole second.
    void refresh();
    bool isCounting() const { return m_timer.isActive(); }

Q_SIGNALS:
    void elapsedTextChanged();

private:
    Clock m_clock;
    std::optional<double> m_startedAt;
    QString m_text;
    QTimer m_timer;
};
