#pragma once

#include <gst/gst.h>

#include <QElapsedTimer>
#include <QString>

#include <atomic>

// What an export's graph shares with its streaming threads, and the pad
// probes that hold it to its rules: nothing before the first key frame, no
// picture the decoder could not rebuild, nothing past the end.
struct ExportGraph {
    GstClockTime end = GST_CLOCK_TIME_NONE; // nothing from here on is exported
    bool copiesVideo = false;
    GstClockTime copyEnd = GST_CLOCK_TIME_NONE; // in decoding order
    GstElement *pipeline = nullptr;
    GstElement *videoEntry = nullptr; // first element after the video decoder
    GstElement *mux = nullptr;
    bool hasVideo = false; // demuxer thread only
    bool hasAudio = false;
    std::atomic<bool> hasKeyFrame = false;
    QElapsedTimer clock;
    std::atomic<qint64> lastProgressMs = 0;

    bool isPastEnd(GstClockTime time) const;
    void markProgress() { lastProgressMs = clock.elapsed(); }
    // Fails the run with `text`, from any thread.
    void postError(const QString &text);

    // On the demuxed, still compressed video.
    void dropBeforeFirstKeyFrame(GstPad *pad);
    // On a demuxed stream: it ends where the export ends. Copied video is cut
    // in decoding order instead.
    void endAt(GstPad *pad, bool isCopiedVideo = false);
    // Copied pictures count as progress for the stall check.
    void countProgressAt(GstPad *pad);
    // On the decoded video.
    void dropBrokenPictures(GstPad *pad);
};
