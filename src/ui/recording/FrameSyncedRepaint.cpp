#include "ui/recording/FrameSyncedRepaint.h"

#include "platform/SteadyClock.h"

#include <QWidget>

FrameSyncedRepaint::FrameSyncedRepaint(Clock clock, QObject *parent)
    : QObject(parent), m_clock(clock ? std::move(clock) : Clock(SteadyClock::now))
{
    m_fallback.setSingleShot(true);
    m_fallback.setInterval(liveGapMs);
    connect(&m_fallback, &QTimer::timeout, this, &FrameSyncedRepaint::repaintWaiting);
}

void FrameSyncedRepaint::frameArrived()
{
    m_lastFrame = m_clock();
    // The frame's repaint covers them all.
    m_waiting.clear();
    m_fallback.stop();
}

bool FrameSyncedRepaint::areFramesArriving() const
{
    return m_lastFrame >= 0 && (m_clock() - m_lastFrame) * 1000 < liveGapMs;
}

void FrameSyncedRepaint::requestRepaint(QWidget *widget)
{
    if (!widget) {
        return;
    }
    if (!areFramesArriving()) {
        widget->update();
        return;
    }
    if (!m_waiting.contains(widget)) {
        m_waiting.append(widget);
    }
    if (!m_fallback.isActive()) {
        m_fallback.start();
    }
}

void FrameSyncedRepaint::repaintWaiting()
{
    const QList<QPointer<QWidget>> waiting = std::exchange(m_waiting, {});
    for (const QPointer<QWidget> &widget : waiting) {
        if (widget) {
            widget->update();
        }
    }
}
