#pragma once

#include "library/VideoRecord.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSize>

#include <optional>

// Finds the picture of each row shown, off the UI thread: the stored thumbnail
// file when it can be read, otherwise a frame of the video itself. Stored
// files and frames are worked on in separate lanes, so a slow or broken video
// never holds up the rows whose thumbnails are on disk.
class VideoThumbnailLoader : public QObject {
    Q_OBJECT

public:
    static constexpr int maxStoredReads = 1;
    static constexpr int maxFrameExtractions = 2;

    explicit VideoThumbnailLoader(QObject *parent = nullptr);

    // Pictures are made for the box size at this scale.
    void setDevicePixelRatio(double ratio) { m_devicePixelRatio = ratio; }

    // The row of `video` came on screen: load its picture.
    void load(const VideoRecord &video);

    // Rows not in `ids` are off screen: their waiting work is dropped.
    void keepOnly(const QSet<int64_t> &ids);

    bool isIdle() const;

    // `source` scaled to fill `box` (proportions kept, the overflow cut off)
    // and cut to a rounded rectangle with anti-aliased corners.
    static QImage fillBox(const QImage &source, QSize box, double devicePixelRatio, double cornerRadius);

Q_SIGNALS:
    // A picture for the row, or none: the placeholder shows. Rows where neither
    // file exists get no signal: their picture stays as it was.
    void thumbnailLoaded(int64_t id, const std::optional<QImage> &image);
    void becameIdle();

private:
    enum class Found { Picture, NoPicture, NeedsFrame, Nothing };
    struct Result {
        Found found = Found::Nothing;
        QImage image;
    };

    static Result readStored(const VideoRecord &video, double devicePixelRatio);
    static Result extractFrame(const VideoRecord &video, double devicePixelRatio);

    void pump();
    void finish(const VideoRecord &video, bool wasFrame, const Result &result);
    bool isQueuedOrRunning(int64_t id) const;

    QList<VideoRecord> m_waitingStored;
    QList<VideoRecord> m_waitingFrames;
    QSet<int64_t> m_running;
    int m_storedRunning = 0;
    int m_framesRunning = 0;
    QSet<int64_t> m_wanted;
    double m_devicePixelRatio = 1.0;
};
