#include "platform/speech/AudioEngine.h"

#include "platform/SteadyClock.h"
#include "platform/speech/CaptureAudioInput.h"

#include <cmath>

AudioEngine::AudioEngine() : AudioEngine(std::make_unique<CaptureAudioInput>())
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
    m_running = m_input->start([this](const float *samples, size_t count) { captured(samples, count); },
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

void AudioEngine::captured(const float *samples, size_t count)
{
    m_levelled.assign(samples, samples + count);
    m_gain.process(m_levelled.data(), count);
    // An input that cannot tell when it captured the chunk gets it stamped as
    // it arrives: captured during the chunk's length before now, a little
    // earlier still by the sound server's delay, so late, never early.
    double captured = m_input->deliveringCaptureTime();
    if (!std::isfinite(captured)) {
        const double now = SteadyClock::now();
        captured = now - double(count) / AudioFormat{}.sampleRate;
    }
    m_inputNode.deliver(m_levelled.data(), count, captured);
}
