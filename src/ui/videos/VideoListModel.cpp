#include "ui/videos/VideoListModel.h"

VideoListModel::VideoListModel(QObject *parent) : RepublishedListModel(parent)
{
}

Qt::ItemFlags VideoListModel::flags(const QModelIndex &index) const
{
    // Shown, not selectable, not editable.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant VideoListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size()) {
        return {};
    }
    const VideoRecord &video = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return video.fileName;
    case Qt::AccessibleDescriptionRole:
        return video.filePath;
    case VideoRole:
        return QVariant::fromValue(video);
    case ThumbnailRole:
        if (const QImage *image = m_thumbnails.object(video.id)) {
            return *image;
        }
        return QImage();
    default:
        return {};
    }
}

void VideoListModel::setThumbnail(int64_t id, const std::optional<QImage> &image)
{
    const int row = rowOf(id);
    if (row < 0) {
        return;
    }
    if (image && !image->isNull()) {
        m_thumbnails.insert(id, new QImage(*image), qsizetype(image->sizeInBytes()));
    } else {
        m_thumbnails.remove(id);
    }
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {ThumbnailRole});
}

std::optional<QImage> VideoListModel::thumbnail(int64_t id) const
{
    if (const QImage *image = m_thumbnails.object(id)) {
        return *image;
    }
    return std::nullopt;
}

void VideoListModel::setVideos(const QList<VideoRecord> &videos)
{
    republishItems(videos);
    // Pictures belong to rows; a row that went takes its picture with it.
    const QList<int64_t> held = m_thumbnails.keys();
    for (int64_t id : held) {
        if (!m_rows.contains(id)) {
            m_thumbnails.remove(id);
        }
    }
}

void VideoListModel::rowsRearranged()
{
    m_rows.clear();
    m_rows.reserve(m_items.size());
    for (int row = 0; row < m_items.size(); ++row) {
        m_rows.insert(m_items.at(row).id, row);
    }
}
