#pragma once

#include "platform/speech/AudioInput.h"

#include <atomic>
#include <cstdint>
#include <memory>

class CaptureAudioFeed;

// The audio engine's input when it hears the capture session's microphone:
// starting and stopping only join and leave the session's sound, so the
// device runs on for the take whatever the listener does.
class CaptureAudioInput : public AudioInput {
public:
    // The process-wide feed.
    CaptureAudioInput();
    explicit CaptureAudioInput(std::shared_ptr<CaptureAudioFeed> feed);
    ~CaptureAudioInput() override;
    CaptureAudioInput(const CaptureAudioInput &) = delete;
    CaptureAudioInput &operator=(const CaptureAudioInput &) = delete;

    bool start(Sink sink, Interruption interrupted, QString *error) override;
    void stop() override;
    double deliveringCaptureTime() const override { return m_deliveringTime.load(); }

private:
    std::shared_ptr<CaptureAudioFeed> m_feed;
    uint64_t m_listener = 0;
    // Set by the delivering thread just before the sink runs.
    std::atomic<double> m_deliveringTime{0.0};
};
