#include "ui/recording/TeleprompterScroller.h"

#include "ui/recording/RecordingViewState.h"

TeleprompterScroller::TeleprompterScroller(RecordingViewState *state) : QObject(state), m_state(state)
{
    // A coarse timer may fire up to 5 % late and bunch ticks; the motion has
    // to look even.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(tickIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TeleprompterScroller::tick);
    // Whoever flips isScrolling, the timer follows it. While the text follows
    // the voice, isScrolling means following and the timer keeps out.
    connect(m_state, &RecordingViewState::isScrollingChanged, this, &TeleprompterScroller::followScrolling);
    connect(m_state, &RecordingViewState::isVoiceFollowingChanged, this, &TeleprompterScroller::followScrolling);
    followScrolling();
}

void TeleprompterScroller::followScrolling()
{
    const bool run = m_state->isScrolling() && !m_state->isVoiceFollowing();
    if (run && !m_timer.isActive()) {
        m_timer.start();
    } else if (!run && m_timer.isActive()) {
        m_timer.stop();
    }
}

void TeleprompterScroller::startScrolling()
{
    m_state->setIsScrolling(true);
}

void TeleprompterScroller::toggleScrolling()
{
    m_state->setIsScrolling(!m_state->isScrolling());
}

void TeleprompterScroller::resetScrolling()
{
    m_state->setIsScrolling(false);
    m_state->setScrollOffset(0);
}

void TeleprompterScroller::tick()
{
    ++m_tickCount;
    m_state->setScrollOffset(m_state->scrollOffset() + m_state->scrollSpeed());
}
