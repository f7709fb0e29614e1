#pragma once

#include "platform/media/CaptureConnection.h"
#include "platform/media/MediaType.h"

#include <QRect>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

class CaptureSessionEngine;

// Writes what the session captures into .mp4 files, one recording at a time,
// while the preview keeps running. The delegate learns of each finished file
// exactly once, on the capture service's thread.
class MovieFileOutput {
public:
    using RecordingDelegate
        = std::function<void(const QString &outputFilePath, const std::optional<QString> &errorDescription)>;

    // The take's first picture reached the file's timeline: its time 0. On a
    // streaming thread; it must return quickly.
    using StartDelegate = std::function<void()>;

    // How a recording is written, fixed at its start.
    struct RecordingSettings {
        // Width to height: the pictures are cut to this ratio before they are
        // encoded (centred, even sizes). None keeps the whole picture.
        std::optional<double> cropAspectRatio;
    };

    MovieFileOutput();
    ~MovieFileOutput();
    MovieFileOutput(const MovieFileOutput &) = delete;
    MovieFileOutput &operator=(const MovieFileOutput &) = delete;

    void startRecording(const QString &outputFilePath, RecordingDelegate delegate, StartDelegate didStart = {});
    void startRecording(const QString &outputFilePath, const RecordingSettings &settings, RecordingDelegate delegate,
        StartDelegate didStart = {});
    void stopRecording();
    bool isRecording() const;

    // The audio connection exists while the output is in a session that holds a
    // microphone; nullptr otherwise. Video has no connection object of its own.
    CaptureConnection *connectionWithMediaType(MediaType mediaType);

    // When the recording under way got its first picture, the file's time 0,
    // in seconds of the steady clock; none before it.
    std::optional<double> firstPictureTime() const;

    // The part of the camera picture the recording under way keeps; none
    // when it keeps all of it or nothing is being recorded.
    std::optional<QRect> recordingCropRect() const;

    // Video frames that reached the file in the last finished recording.
    qint64 lastRecordingVideoFrames() const { return m_lastRecordingVideoFrames; }
    // Recordings reported finished so far (counted just before the delegate runs).
    int finishedRecordings() const { return m_finishedRecordings; }

    // The error of a start while the output is in no session.
    static QString notInSessionError();

private:
    friend class CaptureSessionEngine;
    std::atomic<CaptureSessionEngine *> m_engine = nullptr;
    CaptureConnection m_audioConnection;
    std::atomic<qint64> m_lastRecordingVideoFrames = 0;
    std::atomic<int> m_finishedRecordings = 0;
};
