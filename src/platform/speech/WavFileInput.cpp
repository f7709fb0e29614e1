#include "platform/speech/WavFileInput.h"

#include "platform/speech/WavFile.h"

#include <chrono>

namespace {
constexpr size_t chunkFrames = 1024;
constexpr int sampleRate = 16000;
} // namespace

WavFileInput::WavFileInput(QString path, double speed) : m_path(std::move(path)), m_speed(speed > 0.0 ? speed : 1.0)
{
}

WavFileInput::~WavFileInput()
{
    stop();
}

bool WavFileInput::start(Sink sink, Interruption, QString *error)
{
    if (!m_loaded) {
        if (!WavFile::read(m_path, &m_samples, error)) {
            return false;
        }
        m_loaded = true;
    }
    m_stopping = false;
    m_thread = std::thread([this, sink = std::move(sink)] {
        const std::vector<float> quiet(chunkFrames, 0.0f);
        const auto chunkTime = std::chrono::duration<double>(double(chunkFrames) / sampleRate / m_speed);
        auto next = std::chrono::steady_clock::now();
        while (!m_stopping) {
            const size_t position = m_position;
            if (position < m_samples.size()) {
                const size_t n = std::min(chunkFrames, m_samples.size() - position);
                sink(m_samples.data() + position, n);
                m_position = position + n;
            } else {
                sink(quiet.data(), quiet.size());
            }
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(chunkTime);
            std::this_thread::sleep_until(next);
        }
    });
    return true;
}

void WavFileInput::stop()
{
    m_stopping = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}
