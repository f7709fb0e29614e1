#pragma once

#include <limits>
#include <vector>

// The audio format the input node delivers: 16 kHz mono float.
struct AudioFormat {
    int sampleRate = 16000;
    int channelCount = 1;
};

// One chunk of captured audio, mono float samples in [-1, 1].
struct AudioPCMBuffer {
    std::vector<float> samples;
    int sampleRate = 16000;
    // When its first sample was captured, in seconds of the steady clock;
    // NaN when unknown (a file played like a microphone may not say).
    double captureTime = std::numeric_limits<double>::quiet_NaN();
};
