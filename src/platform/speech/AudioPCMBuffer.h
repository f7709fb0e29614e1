#pragma once

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
};
