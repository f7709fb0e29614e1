#pragma once

#include "platform/speech/AudioInput.h"

#include <memory>

typedef struct _GstElement GstElement;

// The default microphone through GStreamer: the sound server's default audio
// source (or the first one found), converted to 16 kHz mono float.
class MicrophoneInput : public AudioInput {
public:
    MicrophoneInput() = default;
    ~MicrophoneInput() override;

    bool start(Sink sink, QString *error) override;
    void stop() override;

private:
    struct PipelineDeleter {
        void operator()(GstElement *pipeline) const;
    };
    std::unique_ptr<GstElement, PipelineDeleter> m_pipeline;
    std::unique_ptr<Sink> m_sink;
};
