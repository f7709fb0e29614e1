#pragma once

#include "platform/media/DisplayTransform.h"
#include "platform/media/MediaType.h"

#include <QList>
#include <QSizeF>
#include <QString>

struct MediaTrack {
    MediaType mediaType = MediaType::video;
    QSizeF naturalSize; // stored picture size in pixels; empty for sound
    DisplayTransform preferredTransform;
    double nominalFrameRate = 0.0; // frames per second as stored; 0 when unknown
};

// A media file's tracks, sizes and duration, read synchronously when it is
// made. Any thread; a file that cannot be read has no tracks.
class MediaAsset {
public:
    explicit MediaAsset(const QString &path);

    QString path() const { return m_path; }
    bool isReadable() const { return m_isReadable; }
    QString errorDescription() const { return m_errorDescription; }
    double durationSeconds() const { return m_durationSeconds; }
    QList<MediaTrack> tracks(MediaType mediaType) const;

private:
    QString m_path;
    bool m_isReadable = false;
    QString m_errorDescription;
    double m_durationSeconds = 0.0;
    QList<MediaTrack> m_tracks;
};
