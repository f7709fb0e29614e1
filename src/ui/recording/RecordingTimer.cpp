#include "ui/recording/RecordingTimer.h"

#include "platform/SteadyClock.h"

#include <cmath>

namespace {
// A little past the second, so the text never shows the one before.
constexpr int wakeMarginMs = 5;
} // namespace

RecordingTimer::RecordingTimer(Clock clock, QObject *parent)
    : QObject(parent), m_clock(clock ? std::move(clock) : Clock(SteadyClock::now)), m_text(format(0))
{
    m_timer.setSingleShot(true);
    // A coarse timer may wake up to 5 % late: the second would show late.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RecordingTimer::refresh);
}

void RecordingTimer::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(SteadyClock::now);
    refresh();
}

QString RecordingTimer::format(double seconds)
{
    if (!(seconds > 0)) {
        seconds = 0;
    }
    const qint64 whole = qint64(std::min(seconds, 1e12));
    const qint64 hours = whole / 3600;
    const qint64 minutes = whole / 60 % 60;
    const qint64 rest = whole % 60;
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2").arg(minutes, 2, 10, QLatin1Char('0')).arg(rest, 2, 10, QLatin1Char('0'));
}

void RecordingTimer::setStartedAt(std::optional<double> startedAt)
{
    m_startedAt = startedAt;
    refresh();
}

void RecordingTimer::refresh()
{
    double elapsed = 0;
    if (m_startedAt) {
        elapsed = std::max(0.0, m_clock() - *m_startedAt);
        const double untilNextSecond = std::floor(elapsed) + 1 - elapsed;
        m_timer.start(int(std::ceil(untilNextSecond * 1000)) + wakeMarginMs);
    } else {
        m_timer.stop();
    }
    const QString text = format(elapsed);
    if (text != m_text) {
        m_text = text;
        Q_EMIT elapsedTextChanged();
    }
}
