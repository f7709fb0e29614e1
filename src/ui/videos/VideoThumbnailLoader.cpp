#include "ui/videos/VideoThumbnailLoader.h"

#include "capture/CameraManager.h"
#include "platform/MainQueue.h"
#include "ui/videos/VideoListStyle.h"

#include <QBrush>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>

namespace {
// Process-wide and never destroyed: a pool's destructor waits for its work,
// and a frame extraction of a broken file may run until its own timeout.
QThreadPool &pool(int threads)
{
    auto *created = new QThreadPool();
    created->setMaxThreadCount(threads);
    return *created;
}

QThreadPool &storedPool()
{
    static QThreadPool &instance = pool(VideoThumbnailLoader::maxStoredReads);
    return instance;
}

QThreadPool &framePool()
{
    static QThreadPool &instance = pool(VideoThumbnailLoader::maxFrameExtractions);
    return instance;
}

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}
} // namespace

VideoThumbnailLoader::VideoThumbnailLoader(QObject *parent) : QObject(parent)
{
}

QImage VideoThumbnailLoader::fillBox(const QImage &source, QSize box, double devicePixelRatio, double cornerRadius)
{
    const QSize pixels = (QSizeF(box) * devicePixelRatio).toSize();
    QImage picture(pixels, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    if (!source.isNull() && !pixels.isEmpty()) {
        // A 1-bit picture in a brush is a stencil, not colours; paletted ones
        // scale poorly. One format for every source, whatever tool wrote it.
        const QImage scaled = source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                  .scaled(pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        QBrush brush(scaled);
        brush.setTransform(QTransform::fromTranslate(
            (pixels.width() - scaled.width()) / 2.0, (pixels.height() - scaled.height()) / 2.0));
        QPainterPath clip;
        const double radius = cornerRadius * devicePixelRatio;
        clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(pixels)), radius, radius);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.fillPath(clip, brush);
    }
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}

VideoThumbnailLoader::Result VideoThumbnailLoader::readStored(const VideoRecord &video, double devicePixelRatio)
{
    if (video.thumbnailPath && fileExists(*video.thumbnailPath)) {
        QImageReader reader(*video.thumbnailPath);
        reader.setDecideFormatFromContent(true);
        const QImage image = reader.read();
        if (!image.isNull()) {
            return {Found::Picture,
                fillBox(image, VideoListStyle::thumbnailSize, devicePixelRatio, VideoListStyle::thumbnailCornerRadius)};
        }
    }
    return {fileExists(video.filePath) ? Found::NeedsFrame : Found::Nothing, QImage()};
}

VideoThumbnailLoader::Result VideoThumbnailLoader::extractFrame(const VideoRecord &video, double devicePixelRatio)
{
    if (!fileExists(video.filePath)) {
        return {Found::Nothing, QImage()};
    }
    const std::optional<QImage> frame = CameraManager::generateThumbnail(video.filePath);
    if (!frame || frame->isNull()) {
        return {Found::NoPicture, QImage()};
    }
    return {Found::Picture,
        fillBox(*frame, VideoListStyle::thumbnailSize, devicePixelRatio, VideoListStyle::thumbnailCornerRadius)};
}

bool VideoThumbnailLoader::isQueuedOrRunning(int64_t id) const
{
    if (m_running.contains(id)) {
        return true;
    }
    const auto sameId = [id](const VideoRecord &video) { return video.id == id; };
    return std::any_of(m_waitingStored.cbegin(), m_waitingStored.cend(), sameId)
        || std::any_of(m_waitingFrames.cbegin(), m_waitingFrames.cend(), sameId);
}

void VideoThumbnailLoader::load(const VideoRecord &video)
{
    m_wanted.insert(video.id);
    if (isQueuedOrRunning(video.id)) {
        return; // its answer is on the way
    }
    m_waitingStored.append(video);
    pump();
}

void VideoThumbnailLoader::keepOnly(const QSet<int64_t> &ids)
{
    m_wanted = ids;
    const auto unwanted = [&ids](const VideoRecord &video) { return !ids.contains(video.id); };
    const qsizetype dropped = m_waitingStored.removeIf(unwanted) + m_waitingFrames.removeIf(unwanted);
    if (dropped > 0 && isIdle()) {
        Q_EMIT becameIdle();
    }
}

bool VideoThumbnailLoader::isIdle() const
{
    return m_running.isEmpty() && m_waitingStored.isEmpty() && m_waitingFrames.isEmpty();
}

void VideoThumbnailLoader::pump()
{
    const QPointer<VideoThumbnailLoader> self(this);
    const double ratio = m_devicePixelRatio;
    while (m_storedRunning < maxStoredReads && !m_waitingStored.isEmpty()) {
        const VideoRecord video = m_waitingStored.takeFirst();
        ++m_storedRunning;
        m_running.insert(video.id);
        storedPool().start([self, video, ratio] {
            const Result result = readStored(video, ratio);
            MainQueue::post(nullptr, [self, video, result] {
                if (self) {
                    self->finish(video, false, result);
                }
            });
        });
    }
    while (m_framesRunning < maxFrameExtractions && !m_waitingFrames.isEmpty()) {
        const VideoRecord video = m_waitingFrames.takeFirst();
        ++m_framesRunning;
        m_running.insert(video.id);
        framePool().start([self, video, ratio] {
            const Result result = extractFrame(video, ratio);
            MainQueue::post(nullptr, [self, video, result] {
                if (self) {
                    self->finish(video, true, result);
                }
            });
        });
    }
}

void VideoThumbnailLoader::finish(const VideoRecord &video, bool wasFrame, const Result &result)
{
    --(wasFrame ? m_framesRunning : m_storedRunning);
    m_running.remove(video.id);
    switch (result.found) {
    case Found::Picture:
        Q_EMIT thumbnailLoaded(video.id, result.image);
        break;
    case Found::NoPicture:
        Q_EMIT thumbnailLoaded(video.id, std::nullopt);
        break;
    case Found::NeedsFrame:
        // Only rows still on screen are worth a frame extraction.
        if (m_wanted.contains(video.id)) {
            m_waitingFrames.append(video);
        }
        break;
    case Found::Nothing:
        break;
    }
    pump();
    if (isIdle()) {
        Q_EMIT becameIdle();
    }
}
