#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>

// The GStreamer graph behind an export: demux, decode, turn upright, crop,
// fixed frame rate, H.264 4:2:0, MPEG-4; AAC sound is copied, other sound
// re-encoded. Used by ExportSession on its thread.
class ExportPipeline {
public:
    struct Settings {
        QString inputPath;
        QString outputPath;
        QSize displaySize; // upright picture size of the input
        QRect cropRect; // in display coordinates, even width and height
        int framesPerSecond = 30;
        bool isIndexFirst = true;
    };

    enum class Outcome { completed, failed, cancelled };
    struct Result {
        Outcome outcome = Outcome::failed;
        QString errorDescription;
    };

    // Blocks until the file is written, an error occurs, `cancelRequested`
    // turns true, or no frame reaches the encoder for `stallTimeoutMs`.
    static Result run(const Settings &settings, const std::atomic<bool> &cancelRequested, int stallTimeoutMs);

    // True when every element the graph needs is installed.
    static bool isAvailable();
};
