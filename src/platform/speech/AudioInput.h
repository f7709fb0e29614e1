#pragma once

#include <QString>

#include <cstddef>
#include <functional>

// Where the audio engine's sound comes from: the microphone, or in tests a
// file played like one. Delivers 16 kHz mono float on its own thread.
class AudioInput {
public:
    using Sink = std::function<void(const float *samples, size_t count)>;

    virtual ~AudioInput() = default;
    // False, with `error` set, when capture cannot begin.
    virtual bool start(Sink sink, QString *error) = 0;
    // Returns once no more samples will reach the sink.
    virtual void stop() = 0;
};
