#include "capture/MicrophoneLevelMonitor.h"

#include "platform/MainQueue.h"
#include "platform/SteadyClock.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <mutex>

namespace {
constexpr int checkIntervalMs = 250;

} // namespace

// The newest reading waiting for the main thread; a reading that comes while
// one waits replaces it instead of queuing another update.
struct MicrophoneLevelMonitor::Mailbox {
    std::mutex mutex;
    MicrophoneLevel newest;
    bool isPosted = false;
};

MicrophoneLevelMonitor::MicrophoneLevelMonitor(QObject *parent)
    : QObject(parent), m_clock(SteadyClock::now), m_mailbox(std::make_shared<Mailbox>())
{
    m_lastReadingTime = m_lastSoundTime = m_clock();
    m_timer.setInterval(checkIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &MicrophoneLevelMonitor::checkSilence);
    m_timer.start();
}

MicrophoneLevelMonitor::~MicrophoneLevelMonitor() = default;

void MicrophoneLevelMonitor::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(SteadyClock::now);
    m_timer.stop();
    m_lastReadingTime = m_lastSoundTime = m_clock();
}

std::function<void(const MicrophoneLevel &)> MicrophoneLevelMonitor::reporter()
{
    return [mailbox = m_mailbox, monitor = QPointer<MicrophoneLevelMonitor>(this)](const MicrophoneLevel &level) {
        std::lock_guard lock(mailbox->mutex);
        mailbox->newest = level;
        if (std::exchange(mailbox->isPosted, true)) {
            return;
        }
        MainQueue::post(QCoreApplication::instance(), [mailbox, monitor] {
            MicrophoneLevel newest;
            {
                std::lock_guard lock(mailbox->mutex);
                newest = mailbox->newest;
                mailbox->isPosted = false;
            }
            if (monitor) {
                monitor->publish(newest);
            }
        });
    };
}

void MicrophoneLevelMonitor::publish(const MicrophoneLevel &level)
{
    const double now = m_clock();
    m_lastReadingTime = now;
    if (level.peakDb > digitalSilenceDb) {
        m_lastSoundTime = now;
    }
    if (level != m_level) {
        m_level = level;
        Q_EMIT levelChanged();
    }
    checkSilence();
}

void MicrophoneLevelMonitor::setRecording(bool isRecording)
{
    if (isRecording == m_isRecording) {
        return;
    }
    m_isRecording = isRecording;
    // Silence before the take does not count against it.
    m_lastSoundTime = std::max(m_lastSoundTime, m_clock());
    checkSilence();
}

void MicrophoneLevelMonitor::checkSilence()
{
    const double now = m_clock();
    if (now - m_lastReadingTime > staleSeconds && m_level != MicrophoneLevel{}) {
        m_level = MicrophoneLevel{};
        Q_EMIT levelChanged();
    }
    // No readings at all (a microphone that went away) is silence too.
    const bool silent = m_isRecording && now - m_lastSoundTime >= silenceSeconds;
    if (silent != m_isSilent) {
        m_isSilent = silent;
        Q_EMIT isSilentChanged();
    }
}
