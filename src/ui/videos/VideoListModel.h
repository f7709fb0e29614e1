#pragma once

#include "library/VideoRecord.h"
#include "ui/common/RepublishedListModel.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>

#include <optional>

// The published video list as rows, plus each row's own thumbnail picture,
// which lives only here: it is never written to disk or to the library.
class VideoListModel : public RepublishedListModel<VideoRecord> {
    Q_OBJECT

public:
    enum Role {
        VideoRole = Qt::UserRole + 1, // VideoRecord
        ThumbnailRole, // QImage, null for the placeholder
    };

    // Pictures of rows long off screen are let go beyond this; they load
    // again when their row is shown again.
    static constexpr qsizetype thumbnailBudgetBytes = 16 * 1024 * 1024;

    explicit VideoListModel(QObject *parent = nullptr);

    // Takes a republished list. Rows that stayed keep their picture.
    void setVideos(const QList<VideoRecord> &videos);

    const QList<VideoRecord> &videos() const { return items(); }
    const VideoRecord &video(int row) const { return m_items.at(row); }
    int rowOf(int64_t id) const { return m_rows.value(id, -1); }

    // Sets the row's picture; no picture shows the placeholder. Ignored for a
    // row that is no longer in the list.
    void setThumbnail(int64_t id, const std::optional<QImage> &image);
    std::optional<QImage> thumbnail(int64_t id) const;

    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

protected:
    void rowsRearranged() override;

private:
    QHash<int64_t, int> m_rows;
    QCache<int64_t, QImage> m_thumbnails{thumbnailBudgetBytes};
};
