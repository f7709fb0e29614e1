#include "platform/speech/AudioInputNode.h"

#include "platform/Log.h"

#include <algorithm>

AudioFormat AudioInputNode::outputFormatForBus(int) const
{
    return AudioFormat{};
}

void AudioInputNode::installTapOnBus(int bus, int bufferSizeFrames, const AudioFormat &format, TapBlock block)
{
    if (bus != 0 || format.sampleRate != AudioFormat{}.sampleRate || format.channelCount != 1) {
        Log::line(QStringLiteral("⚠️ 音频输入不支持的格式: %1 Hz, %2 声道")
                      .arg(format.sampleRate)
                      .arg(format.channelCount));
        return;
    }
    std::lock_guard lock(m_mutex);
    m_tap = std::move(block);
    m_bufferSizeFrames = std::max(1, bufferSizeFrames);
}

void AudioInputNode::removeTapOnBus(int)
{
    std::lock_guard lock(m_mutex);
    m_tap = nullptr;
}

void AudioInputNode::deliver(const float *samples, size_t count, double captureTime)
{
    const double rate = AudioFormat{}.sampleRate;
    std::lock_guard lock(m_mutex);
    if (!m_tap) {
        return;
    }
    for (size_t offset = 0; offset < count; offset += size_t(m_bufferSizeFrames)) {
        const size_t n = std::min(size_t(m_bufferSizeFrames), count - offset);
        m_tap(AudioPCMBuffer{std::vector<float>(samples + offset, samples + offset + n), AudioFormat{}.sampleRate,
            captureTime + double(offset) / rate});
    }
}
