#include "voice/ReadingTracker.h"

#include <algorithm>

ReadingTracker::ReadingTracker() = default;

ReadingTracker::ReadingTracker(ScriptAligner::Tuning tuning) : m_aligner(tuning)
{
}

void ReadingTracker::setScript(const QString &text)
{
    m_aligner.setUnits(ScriptSyllables::fromText(text));
    m_filter.clear();
    m_restartIndex = 0;
    m_heard = 0;
}

void ReadingTracker::restartAt(int textPosition)
{
    const std::vector<ScriptUnit> &list = m_aligner.units();
    const auto it = std::lower_bound(list.begin(), list.end(), textPosition,
        [](const ScriptUnit &unit, int position) { return unit.position < position; });
    m_restartIndex = int(it - list.begin());
    m_aligner.restart(m_restartIndex);
    m_filter.clear();
}

bool ReadingTracker::takeTranscript(const QString &text, double now)
{
    const std::vector<int> added = m_transcript.take(text);
    std::vector<int> released;
    for (const int id : added) {
        const std::vector<int> out = m_filter.push(id);
        released.insert(released.end(), out.begin(), out.end());
    }
    if (!added.empty()) {
        m_lastSyllableTime = now;
    }
    return hear(released);
}

void ReadingTracker::skipTranscript(const QString &text)
{
    m_transcript.skip(text);
    m_filter.clear();
}

bool ReadingTracker::flushHeld(double now)
{
    if (!m_filter.isHolding() || now - m_lastSyllableTime < holdSeconds) {
        return false;
    }
    return hear(m_filter.flush());
}

bool ReadingTracker::hear(const std::vector<int> &ids)
{
    const int before = m_aligner.position();
    for (const int id : ids) {
        m_aligner.hear(id);
        ++m_heard;
    }
    return m_aligner.position() != before;
}
