#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

// The GStreamer graph behind an export: demux, decode, turn upright, crop,
// fixed frame rate, H.264 4:2:0, MPEG-4; AAC sound is copied, other sound
// encoded with whichever AAC encoder is installed. Used by ExportSession on
// its thread.
class ExportPipeline {
public:
    struct Settings {
        QString inputPath;
        QString outputPath;
        QSize displaySize; // upright picture size of the input
        QRect cropRect; // in display coordinates, even width and height
        int framesPerSecond = 30;
        bool isIndexFirst = true;
        // Where the export ends, in seconds of the input; none for all of it.
        std::optional<double> endSeconds;
        // The video as it is, not re-encoded: crop, turn and frame rate do not
        // apply. Only for an end where a key frame begins; its pictures are
        // cut from that key frame's decoding time on.
        bool copiesVideo = false;
        double copyEndDecodeSeconds = 0;
    };

    enum class Outcome { completed, failed, cancelled };
    struct Result {
        Outcome outcome = Outcome::failed;
        QString errorDescription;
    };

    // Blocks until the file is written, an error occurs, `cancelRequested`
    // turns true, or no frame reaches the encoder for `stallTimeoutMs`.
    static Result run(const Settings &settings, const std::atomic<bool> &cancelRequested, int stallTimeoutMs);

    // Where the muxer keeps the media data while it writes `outputPath`; gone
    // after every run, but a killed program leaves it behind.
    static QString scratchPath(const QString &outputPath) { return outputPath + QStringLiteral(".mdat"); }

    // Elements the picture's way through the graph needs that are not
    // installed. The sound needs none of its own when it is AAC already.
    static QStringList missingElements();
};
