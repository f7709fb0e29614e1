#pragma once

// Measures how long the UI thread's event loop went without turning.
#include <QElapsedTimer>
#include <QTimer>

class StallMonitor {
public:
    StallMonitor()
    {
        m_timer.setInterval(5);
        QObject::connect(
            &m_timer, &QTimer::timeout, [this] { m_longestMs = std::max(m_longestMs, m_clock.restart()); });
        m_clock.start();
        m_timer.start();
    }

    qint64 longestMs() const { return std::max(m_longestMs, m_clock.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longestMs = 0;
};
