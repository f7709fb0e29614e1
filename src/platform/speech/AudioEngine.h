#pragma once

#include "platform/speech/AudioInput.h"
#include "platform/speech/AudioInputNode.h"
#include "platform/speech/AutomaticGain.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Microphone capture for speech: an input node whose tap receives the audio,
// brought to a steady level, on the audio thread while the engine runs. Main
// thread only, and never waits for the device: a failure found after start()
// goes to the interruption handler. The level follows the microphone across
// stops and starts.
//
// By default it hears the capture session's microphone, which runs for the
// take whether or not the engine does: stopping the engine stops listening,
// never the device.
class AudioEngine {
public:
    using InterruptionHandler = std::function<void(const QString &reason)>;

    // The capture session's microphone.
    AudioEngine();
    // Any other source, such as a file played like a microphone in tests.
    explicit AudioEngine(std::unique_ptr<AudioInput> input);
    ~AudioEngine();

    AudioInputNode &inputNode() { return m_inputNode; }

    void prepare() { }
    // False, with `error` set to a full description, when capture cannot begin.
    bool start(QString *error);
    bool isRunning() const { return m_running; }
    void stop();

    // Called on any thread when capture stops by itself while the engine runs.
    void setInterruptionHandler(InterruptionHandler handler);

private:
    void interrupted(const QString &reason);
    void captured(const float *samples, size_t count);

    AudioInputNode m_inputNode;
    // Used by one audio thread at a time: a start follows the stop that ended the last one.
    AutomaticGain m_gain;
    std::vector<float> m_levelled;
    std::mutex m_handlerMutex;
    InterruptionHandler m_interruptionHandler;
    std::unique_ptr<AudioInput> m_input; // last: stopped before the node and handler go
    bool m_running = false;
};
