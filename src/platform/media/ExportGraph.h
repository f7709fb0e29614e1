#pragma once

#include <gst/gst.h>

#include <QElapsedTimer>
#include <QString>

#include <atomic>

// What an export's graph shares with its streaming threads, and the pad
// probes that hold it to its rules: nothing past the end, progress counted.
struct ExportGraph {
    GstClockTime end = GST_CLOCK_TIME_NONE; // nothing that shows from here on is exported
    GstElement *pipeline = nullptr;
    GstElement *mux = nullptr;
    bool hasVideo = false; // demuxer thread only
    bool hasAudio = false;
    QElapsedTimer clock;
    std::atomic<qint64> lastProgressMs = 0;
    std::atomic<qint64> copiedVideoSamples = 0;

    bool isPastEnd(GstClockTime time) const;
    void markProgress() { lastProgressMs = clock.elapsed(); }
    // Fails the run with `text`, from any thread.
    void postError(const QString &text);

    // On a demuxed stream: its buffers count as progress, and those that show
    // at or after the end are dropped.
    void copyTo(GstPad *pad, bool isVideo);
};
