#pragma once

#include <QObject>
#include <QTimer>

class RecordingViewState;

// Automatic scrolling: one repeating timer, running exactly while the view
// state says it is scrolling and the text is not following the voice, that
// adds the speed to the offset at each tick.
// Nothing but pause and reset stops it: hiding the box, switching tabs,
// recording or loading another script all leave it counting.
class TeleprompterScroller : public QObject {
    Q_OBJECT

public:
    static constexpr int tickIntervalMs = 30;

    explicit TeleprompterScroller(RecordingViewState *state);

    void startScrolling();
    // The start/pause button.
    void toggleScrolling();
    // The reset button: stop and go back to the top.
    void resetScrolling();

    // One tick: the offset grows by the speed, both read now.
    void tick();

    // The running timer, or null while stopped.
    const QTimer *scrollTimer() const { return m_timer.isActive() ? &m_timer : nullptr; }
    qint64 tickCount() const { return m_tickCount; }

private:
    void followScrolling();

    RecordingViewState *m_state;
    QTimer m_timer;
    qint64 m_tickCount = 0;
};
