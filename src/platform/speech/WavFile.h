#pragma once

#include <QString>

#include <vector>

// A RIFF/WAVE file read whole into 16 kHz mono float samples in [-1, 1].
// Takes 16-bit PCM or 32-bit float, any channel count (mixed down), 16 kHz only.
class WavFile {
public:
    // False, with `error` set, for a missing, unreadable or unsupported file.
    static bool read(const QString &path, std::vector<float> *samples, QString *error);
};
