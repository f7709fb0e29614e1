#include "ui/videos/VideoListModel.h"

#include <QSet>

VideoListModel::VideoListModel(QObject *parent) : QAbstractListModel(parent)
{
}

int VideoListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_videos.size());
}

Qt::ItemFlags VideoListModel::flags(const QModelIndex &index) const
{
    // Shown, not selectable, not editable.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant VideoListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_videos.size()) {
        return {};
    }
    const VideoRecord &video = m_videos.at(index.row());
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
    if (!applyRemovalsAndInsertions(videos)) {
        beginResetModel();
        m_videos = videos;
        rebuildRows();
        endResetModel();
    }
    // Pictures belong to rows; a row that went takes its picture with it.
    const QList<int64_t> held = m_thumbnails.keys();
    for (int64_t id : held) {
        if (!m_rows.contains(id)) {
            m_thumbnails.remove(id);
        }
    }
}

// A republication usually differs from the shown list by a deleted row or a
// new recording on top. Announce those as removals and insertions; anything
// else (a reordering) is a reset.
bool VideoListModel::applyRemovalsAndInsertions(const QList<VideoRecord> &videos)
{
    if (m_videos.isEmpty() || videos.isEmpty()) {
        return false;
    }
    QSet<int64_t> incoming;
    incoming.reserve(videos.size());
    for (const VideoRecord &video : videos) {
        incoming.insert(video.id);
    }
    QList<int64_t> kept;
    for (const VideoRecord &video : m_videos) {
        if (incoming.contains(video.id)) {
            kept << video.id;
        }
    }
    // The rows that stay must keep their order for removals/insertions to describe the change.
    qsizetype next = 0;
    for (const VideoRecord &video : videos) {
        if (m_rows.contains(video.id)) {
            if (next >= kept.size() || kept.at(next) != video.id) {
                return false;
            }
            ++next;
        }
    }

    for (int row = int(m_videos.size()) - 1; row >= 0;) {
        if (incoming.contains(m_videos.at(row).id)) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !incoming.contains(m_videos.at(first - 1).id)) {
            --first;
        }
        beginRemoveRows(QModelIndex(), first, row);
        m_videos.remove(first, row - first + 1);
        endRemoveRows();
        row = first - 1;
    }
    rebuildRows();

    for (int row = 0; row < videos.size();) {
        if (m_rows.contains(videos.at(row).id)) {
            if (m_videos.at(row) != videos.at(row)) {
                m_videos[row] = videos.at(row);
                Q_EMIT dataChanged(index(row), index(row));
            }
            ++row;
            continue;
        }
        int last = row;
        while (last + 1 < videos.size() && !m_rows.contains(videos.at(last + 1).id)) {
            ++last;
        }
        beginInsertRows(QModelIndex(), row, last);
        for (int at = row; at <= last; ++at) {
            m_videos.insert(at, videos.at(at));
        }
        endInsertRows();
        row = last + 1;
    }
    rebuildRows();
    return true;
}

void VideoListModel::rebuildRows()
{
    m_rows.clear();
    m_rows.reserve(m_videos.size());
    for (int row = 0; row < m_videos.size(); ++row) {
        m_rows.insert(m_videos.at(row).id, row);
    }
}
