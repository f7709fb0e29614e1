#include "platform/speech/SpeechAudioBufferRecognitionRequest.h"

void SpeechAudioBufferRecognitionRequest::appendAudioPCMBuffer(const AudioPCMBuffer &buffer)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_ended) {
            return;
        }
        m_buffers.push_back(buffer);
    }
    m_ready.notify_all();
}

void SpeechAudioBufferRecognitionRequest::endAudio()
{
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
    }
    m_ready.notify_all();
}

void SpeechAudioBufferRecognitionRequest::fail(const QString &reason)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_ended) {
            return;
        }
        m_ended = true;
        m_failure = reason;
    }
    m_ready.notify_all();
}

QString SpeechAudioBufferRecognitionRequest::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

std::deque<AudioPCMBuffer> SpeechAudioBufferRecognitionRequest::takeAudio(bool *ended)
{
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [this] { return !m_buffers.empty() || m_ended || m_woken; });
    m_woken = false;
    std::deque<AudioPCMBuffer> taken;
    taken.swap(m_buffers);
    *ended = m_ended;
    return taken;
}

void SpeechAudioBufferRecognitionRequest::wake()
{
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_ready.notify_all();
}
