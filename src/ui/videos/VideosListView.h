#pragma once

#include "library/VideoRecord.h"

#include <QWidget>

#include <memory>

class DatabaseManager;
class QStackedWidget;
class VideoListModel;
class VideoRowMenu;
class VideoRowsView;
class VideoThumbnailLoader;
class VideosEmptyState;
class VideosHeaderBar;

// The video library tab: every recording, newest first, with its picture and
// the actions play, show in the file manager and delete.
class VideosListView : public QWidget {
    Q_OBJECT

public:
    explicit VideosListView(DatabaseManager *dbManager, QWidget *parent = nullptr);
    ~VideosListView() override;

    VideosHeaderBar *header() const { return m_header; }
    VideosEmptyState *emptyState() const { return m_emptyState; }
    VideoRowsView *rows() const { return m_rows; }
    VideoListModel *model() const { return m_model; }
    VideoThumbnailLoader *thumbnailLoader() const { return m_loader; }
    bool isShowingEmptyState() const;

    // The context menu of a row, wired to its actions.
    std::unique_ptr<VideoRowMenu> contextMenuForRow(int row);

    // Only a row whose file is a regular file of a video type is opened or
    // shown; any other is refused with a log line.
    void play(int64_t id);
    void reveal(int64_t id);
    void remove(int64_t id);

    static bool isOpenableVideo(const QString &path);

private:
    void showVideos();
    void showContextMenu(const QPoint &position);
    void loadThumbnails(const QList<int64_t> &ids);
    const VideoRecord *videoWithId(int64_t id) const;
    const VideoRecord *openableVideoWithId(int64_t id) const;

    DatabaseManager *m_dbManager;
    VideoListModel *m_model = nullptr;
    VideoThumbnailLoader *m_loader = nullptr;
    VideosHeaderBar *m_header = nullptr;
    QStackedWidget *m_content = nullptr;
    VideosEmptyState *m_emptyState = nullptr;
    VideoRowsView *m_rows = nullptr;
};
