#pragma once

#include "platform/speech/AudioInput.h"

#include <QString>

#include <atomic>
#include <thread>
#include <vector>

// A WAV file played like a microphone, for tests: `speed` times real time,
// in 1024-frame chunks. Like a room, it goes on where it was after a stop
// and start, and is quiet after the file's end.
class WavFileInput : public AudioInput {
public:
    explicit WavFileInput(QString path, double speed = 1.0);
    ~WavFileInput() override;

    bool start(Sink sink, Interruption interrupted, QString *error) override;
    void stop() override;

private:
    QString m_path;
    double m_speed;
    std::vector<float> m_samples;
    bool m_loaded = false;
    std::atomic<size_t> m_position{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};
