#pragma once

#include "platform/speech/AudioPCMBuffer.h"

#include <functional>
#include <mutex>

// The audio engine's microphone input: one bus (0) with at most one tap.
// The tap block runs on the audio thread.
class AudioInputNode {
public:
    using TapBlock = std::function<void(const AudioPCMBuffer &)>;

    AudioFormat outputFormatForBus(int bus) const;
    void installTapOnBus(int bus, int bufferSizeFrames, const AudioFormat &format, TapBlock block);
    void removeTapOnBus(int bus);

    // Called by the engine on the audio thread with freshly captured samples,
    // the first of them captured at `captureTime` (steady-clock seconds).
    void deliver(const float *samples, size_t count, double captureTime = std::numeric_limits<double>::quiet_NaN());

private:
    // Installing and removing happen on the main thread while the audio
    // thread may be delivering.
    mutable std::mutex m_mutex;
    TapBlock m_tap;
    int m_bufferSizeFrames = 1024;
};
