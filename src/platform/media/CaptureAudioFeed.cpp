#include "platform/media/CaptureAudioFeed.h"

#include <algorithm>

std::shared_ptr<CaptureAudioFeed> CaptureAudioFeed::shared()
{
    static const std::shared_ptr<CaptureAudioFeed> feed = std::make_shared<CaptureAudioFeed>();
    return feed;
}

const CaptureAudioFeed::Session *CaptureAudioFeed::current() const
{
    return m_sessions.empty() ? nullptr : &m_sessions.back();
}

CaptureAudioFeed::Microphone CaptureAudioFeed::microphone() const
{
    std::lock_guard lock(m_mutex);
    const Session *session = current();
    return session ? session->microphone : Microphone::none;
}

uint64_t CaptureAudioFeed::subscribe(Sink sink, Interruption interrupted, QString *error)
{
    std::lock_guard lock(m_mutex);
    const Session *session = current();
    if (!session || session->microphone == Microphone::none) {
        *error = QStringLiteral("没有找到麦克风");
        return 0;
    }
    const uint64_t id = m_nextID++;
    m_listeners.push_back({id, std::move(sink), std::move(interrupted)});
    return id;
}

void CaptureAudioFeed::unsubscribe(uint64_t listener)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_listeners, [listener](const Listener &held) { return held.id == listener; });
}

uint64_t CaptureAudioFeed::attachSession()
{
    std::lock_guard lock(m_mutex);
    const uint64_t id = m_nextID++;
    // A newer session is heard from now on; the sound so far came from another.
    if (const Session *previous = current(); previous && previous->microphone == Microphone::running) {
        interruptAll(QStringLiteral("采集会话已更换"));
    }
    m_sessions.push_back({id, Microphone::pending});
    return id;
}

void CaptureAudioFeed::detachSession(uint64_t session)
{
    std::lock_guard lock(m_mutex);
    const bool wasHeard = current() && current()->id == session;
    std::erase_if(m_sessions, [session](const Session &held) { return held.id == session; });
    if (wasHeard) {
        interruptAll(QStringLiteral("采集会话已结束"));
    }
}

void CaptureAudioFeed::setMicrophone(uint64_t session, Microphone state, const QString &reason)
{
    std::lock_guard lock(m_mutex);
    const auto held
        = std::find_if(m_sessions.begin(), m_sessions.end(), [session](const Session &s) { return s.id == session; });
    if (held == m_sessions.end()) {
        return;
    }
    const Microphone before = held->microphone;
    held->microphone = state;
    if (&*held == current() && state == Microphone::none && before != Microphone::none) {
        interruptAll(reason.isEmpty() ? QStringLiteral("没有找到麦克风") : reason);
    }
}

void CaptureAudioFeed::deliver(uint64_t session, const float *samples, size_t count, double captureTime)
{
    std::lock_guard lock(m_mutex);
    const Session *heard = current();
    if (!heard || heard->id != session || heard->microphone == Microphone::none) {
        return;
    }
    for (const Listener &listener : m_listeners) {
        listener.sink(samples, count, captureTime);
    }
}

void CaptureAudioFeed::interruptAll(const QString &reason)
{
    // Taken out first: each is told once, and may unsubscribe from inside.
    const std::vector<Listener> told = std::exchange(m_listeners, {});
    for (const Listener &listener : told) {
        if (listener.interrupted) {
            listener.interrupted(reason);
        }
    }
}
