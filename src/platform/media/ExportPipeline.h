#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

// The GStreamer graph behind an export: a remux. The H.264 pictures and the
// AAC sound of a recording are copied as they are, never decoded, into a plain
// MPEG-4 file, optionally shortened. Used by ExportSession on its thread.
class ExportPipeline {
public:
    struct Settings {
        QString inputPath;
        QString outputPath;
        bool isIndexFirst = true;
        // Nothing that shows from here on, in seconds of the input, is kept;
        // none for all of it. Exact to the frame for video without B-frames,
        // as the recordings are: no kept frame refers to a dropped one.
        std::optional<double> endSeconds;
    };

    enum class Outcome { completed, failed, cancelled };
    struct Result {
        Outcome outcome = Outcome::failed;
        QString errorDescription;
        qint64 videoSamples = 0; // copied into the output
    };

    // Blocks until the file is written, an error occurs, `cancelRequested`
    // turns true, or nothing is copied for `stallTimeoutMs`.
    static Result run(const Settings &settings, const std::atomic<bool> &cancelRequested, int stallTimeoutMs);

    // Where the muxer keeps the media data while it writes `outputPath`; gone
    // after every run, but a killed program leaves it behind.
    static QString scratchPath(const QString &outputPath) { return outputPath + QStringLiteral(".mdat"); }

    // Elements the remux needs that are not installed.
    static QStringList missingElements();
};
