#pragma once

#include "platform/speech/AudioPCMBuffer.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>

// Audio handed to recognition as it is captured. The tap appends on the audio
// thread; the recognition task takes on its worker thread.
class SpeechAudioBufferRecognitionRequest {
public:
    bool shouldReportPartialResults = true;
    bool requiresOnDeviceRecognition = false;

    void appendAudioPCMBuffer(const AudioPCMBuffer &buffer);
    // No more audio will come; appends after this are dropped.
    void endAudio();
    // The audio ended because capture failed; recognition reports `reason`.
    void fail(const QString &reason);
    QString failure() const;

    // Waits for audio, the end of the audio, or `wake()`. Returns what was
    // queued; `ended` is true once the audio has ended and all of it is taken.
    std::deque<AudioPCMBuffer> takeAudio(bool *ended);
    void wake();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<AudioPCMBuffer> m_buffers;
    bool m_ended = false;
    bool m_woken = false;
    QString m_failure;
};
