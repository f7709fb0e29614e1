#pragma once

#include "platform/speech/AudioInput.h"
#include "platform/speech/AudioInputNode.h"

#include <QString>

#include <memory>

// Microphone capture for speech: an input node whose tap receives the audio
// on the audio thread while the engine runs. Main thread only.
class AudioEngine {
public:
    // The default microphone.
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

private:
    AudioInputNode m_inputNode;
    std::unique_ptr<AudioInput> m_input;
    bool m_running = false;
};
