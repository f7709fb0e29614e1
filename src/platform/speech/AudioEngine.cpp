#include "platform/speech/AudioEngine.h"

#include "platform/speech/MicrophoneInput.h"

AudioEngine::AudioEngine() : AudioEngine(std::make_unique<MicrophoneInput>())
{
}

AudioEngine::AudioEngine(std::unique_ptr<AudioInput> input) : m_input(std::move(input))
{
}

AudioEngine::~AudioEngine()
{
    stop();
}

bool AudioEngine::start(QString *error)
{
    if (m_running) {
        return true;
    }
    AudioInputNode *node = &m_inputNode;
    m_running = m_input->start([node](const float *samples, size_t count) { node->deliver(samples, count); },
        [this](const QString &reason) { interrupted(reason); }, error);
    return m_running;
}

void AudioEngine::stop()
{
    if (m_running) {
        m_input->stop();
        m_running = false;
    }
}

void AudioEngine::setInterruptionHandler(InterruptionHandler handler)
{
    std::lock_guard lock(m_handlerMutex);
    m_interruptionHandler = std::move(handler);
}

void AudioEngine::interrupted(const QString &reason)
{
    std::lock_guard lock(m_handlerMutex);
    if (m_interruptionHandler) {
        m_interruptionHandler(reason);
    }
}
