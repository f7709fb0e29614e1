#pragma once

#include "voice/ReadingTracker.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class RecordingViewState;
class SpeechRecognitionManager;
class TeleprompterView;

// "跟读滚动": moves the teleprompter with the speaker's voice. While the mode
// is on, following runs (start/pause reads "暂停"), the box shows text and the
// listener is listening, each transcript the listener publishes moves the
// alignment on, and the offset eases toward keeping the line being read a
// third of the way down the box. It never moves the text back, except to
// keep the same line in view when the text is laid out anew; it holds still
// while nothing new is read. Reset (the offset set to 0 from outside) starts
// the alignment again at the top; another script, at the line in view.
class VoiceFollower : public QObject {
    Q_OBJECT

public:
    // Seconds on a monotonic clock.
    using Clock = std::function<double()>;

    static constexpr double readingLineShare = 1.0 / 3.0;
    static constexpr double easingSeconds = 0.12;
    static constexpr int tickIntervalMs = 30;
    // Units shown as read beyond the last one recognized (see computeTarget).
    static constexpr int leadUnits = 2;

    // A follower for the recording screen's teleprompter, fed by its listener;
    // it lives as long as `view`.
    static VoiceFollower *attach(RecordingViewState *state, TeleprompterView *view, SpeechRecognitionManager *listener);

    VoiceFollower(RecordingViewState *state, TeleprompterView *view, Clock clock = {}, QObject *parent = nullptr);

    // The listener's published fields.
    void setTranscript(const QString &text);
    void setListening(bool isListening);

    bool isActive() const { return m_active; }
    // One step of the motion at the clock's time; the timer calls it.
    void tick();
    bool isMoving() const { return m_timer.isActive(); }

    // Where the reading line is, from the top of the box.
    double readingLineY() const;
    // The offset the motion eases toward.
    double targetOffset() const { return m_target; }
    const ReadingTracker &tracker() const { return m_tracker; }

private:
    void updateActivity();
    void onTextChanged();
    void onOffsetChanged();
    void onLayoutInputsChanged();
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Restarts the alignment at the line the reading line shows now.
    void anchor();
    // The offset that puts the last unit read on the reading line.
    bool computeTarget(double *target);
    void retarget(bool allowBack);
    void writeOffset(double offset);
    void ensureTicking();

    // The screen's state may go before the box that owns this.
    QPointer<RecordingViewState> m_state;
    QPointer<TeleprompterView> m_view;
    Clock m_clock;
    ReadingTracker m_tracker;
    QTimer m_timer;

    bool m_isListening = false;
    bool m_active = false;
    bool m_anchorPending = true;
    bool m_writing = false;
    double m_position = 0; // the eased offset
    double m_target = 0;
    double m_lastTick = 0;
    int m_layoutCount = -1;
};
