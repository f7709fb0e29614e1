#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QWidget;

// Repaints of the widgets that lie over the live picture, in step with its
// frames. Each new frame repaints the whole picture area, and with it every
// widget over it: a widget that changes while frames arrive waits for the next
// one instead of asking for a repaint of its own, which would paint the
// picture beneath it once more. Without frames it is repainted at once, and a
// frame that fails to come leaves it waiting no longer than `liveGapMs`.
class FrameSyncedRepaint : public QObject {
    Q_OBJECT

public:
    // Seconds on a steady clock.
    using Clock = std::function<double()>;
    // Frames further apart than this do not count as arriving: a slow camera
    // (under 20 frames a second) would make the widgets move in steps.
    static constexpr int liveGapMs = 50;

    explicit FrameSyncedRepaint(Clock clock = {}, QObject *parent = nullptr);

    // A frame is about to repaint the whole area.
    void frameArrived();
    bool areFramesArriving() const;

    // Repaints `widget` with the next frame, or now when none is expected.
    void requestRepaint(QWidget *widget);
    // Widgets still waiting for a frame.
    qsizetype waitingCount() const { return m_waiting.size(); }

private:
    void repaintWaiting();

    Clock m_clock;
    double m_lastFrame = -1;
    QList<QPointer<QWidget>> m_waiting;
    QTimer m_fallback;
};
