#pragma once

#include <QString>

#include <cstddef>
#include <functional>
#include <limits>

// Where the audio engine's sound comes from: the microphone, or in tests a
// file played like one. Delivers 16 kHz mono float on its own thread.
class AudioInput {
public:
    using Sink = std::function<void(const float *samples, size_t count)>;
    // Capture that had started stopped by itself (device gone, server error).
    using Interruption = std::function<void(const QString &reason)>;

    virtual ~AudioInput() = default;
    // False, with `error` set, when capture cannot begin. Returns without
    // waiting for the device; a failure found later goes to `interrupted`,
    // at most once, on any thread.
    virtual bool start(Sink sink, Interruption interrupted, QString *error) = 0;
    // Returns at once; neither callback of the last start runs after it.
    virtual void stop() = 0;
    // Inside the sink, on its thread: when the first sample being delivered
    // was captured, in seconds of the steady clock; NaN when unknown.
    virtual double deliveringCaptureTime() const { return std::numeric_limits<double>::quiet_NaN(); }
};
