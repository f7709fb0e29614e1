#pragma once

#include "platform/speech/AudioInput.h"

#include <atomic>
#include <memory>

class CaptureDeviceProvider;

// The default microphone through GStreamer, converted to 16 kHz mono float.
// The device is the one the capture layer records from; every state change of
// the device runs on one worker thread of this input, so neither start nor
// stop waits for the sound server.
class MicrophoneInput : public AudioInput {
public:
    // The process-wide device provider.
    MicrophoneInput();
    explicit MicrophoneInput(std::shared_ptr<CaptureDeviceProvider> provider);
    ~MicrophoneInput() override;
    MicrophoneInput(const MicrophoneInput &) = delete;
    MicrophoneInput &operator=(const MicrophoneInput &) = delete;

    bool start(Sink sink, Interruption interrupted, QString *error) override;
    void stop() override;
    double deliveringCaptureTime() const override;

private:
    struct Session;
    struct Worker;

    std::shared_ptr<CaptureDeviceProvider> m_provider;
    // Written by the delivering thread just before the sink runs.
    std::shared_ptr<std::atomic<double>> m_deliveringTime = std::make_shared<std::atomic<double>>(0.0);
    std::unique_ptr<Worker> m_worker;
    std::shared_ptr<Session> m_session;
};
