#include "ui/videos/VideosListView.h"

#include "library/DatabaseManager.h"
#include "platform/Log.h"
#include "platform/desktop/DesktopWorkspace.h"
#include "ui/videos/VideoListModel.h"
#include "ui/videos/VideoRowMenu.h"
#include "ui/videos/VideoRowsView.h"
#include "ui/videos/VideoThumbnailLoader.h"
#include "ui/videos/VideosEmptyState.h"
#include "ui/videos/VideosHeaderBar.h"

#include <QFileInfo>
#include <QFrame>
#include <QMimeDatabase>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {
bool isVideoType(const QMimeType &type)
{
    if (type.name().startsWith(QLatin1String("video/"))) {
        return true;
    }
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.cbegin(), ancestors.cend(),
        [](const QString &name) { return name.startsWith(QLatin1String("video/")); });
}
} // namespace

VideosListView::VideosListView(DatabaseManager *dbManager, QWidget *parent) : QWidget(parent), m_dbManager(dbManager)
{
    m_model = new VideoListModel(this);
    m_loader = new VideoThumbnailLoader(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_header = new VideosHeaderBar(this);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    m_content = new QStackedWidget(this);
    m_emptyState = new VideosEmptyState(m_content);
    m_rows = new VideoRowsView(m_model, m_content);
    m_content->addWidget(m_emptyState);
    m_content->addWidget(m_rows);
    layout->addWidget(m_header);
    layout->addWidget(divider);
    layout->addWidget(m_content, 1);

    connect(m_rows, &VideoRowsView::rowsShown, this, &VideosListView::loadThumbnails);
    connect(m_rows, &VideoRowsView::shownRowsChanged, m_loader, &VideoThumbnailLoader::keepOnly);
    connect(m_loader, &VideoThumbnailLoader::thumbnailLoaded, m_model, &VideoListModel::setThumbnail);
    connect(m_rows, &VideoRowsView::playRequested, this, &VideosListView::play);
    connect(m_rows, &VideoRowsView::revealRequested, this, &VideosListView::reveal);
    connect(m_rows, &QWidget::customContextMenuRequested, this, &VideosListView::showContextMenu);

    if (m_dbManager) {
        connect(m_dbManager, &DatabaseManager::videosChanged, this, &VideosListView::showVideos);
    }
    showVideos();
}

VideosListView::~VideosListView() = default;

bool VideosListView::isShowingEmptyState() const
{
    return m_content->currentWidget() == m_emptyState;
}

void VideosListView::showVideos()
{
    const QList<VideoRecord> videos = m_dbManager ? m_dbManager->videos() : QList<VideoRecord>();
    m_model->setVideos(videos);
    m_header->setCount(videos.size());
    m_content->setCurrentWidget(videos.isEmpty() ? static_cast<QWidget *>(m_emptyState) : m_rows);
}

void VideosListView::loadThumbnails(const QList<int64_t> &ids)
{
    m_loader->setDevicePixelRatio(m_rows->viewport()->devicePixelRatioF());
    for (int64_t id : ids) {
        if (const VideoRecord *video = videoWithId(id)) {
            m_loader->load(*video);
        }
    }
}

const VideoRecord *VideosListView::videoWithId(int64_t id) const
{
    const int row = m_model->rowOf(id);
    return row >= 0 ? &m_model->video(row) : nullptr;
}

bool VideosListView::isOpenableVideo(const QString &path)
{
    // The desktop opens what it is given by its type: a library row that
    // points at a launcher, a script or a folder must not reach it.
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile()) {
        return false;
    }
    const QMimeDatabase types;
    const QString target = file.canonicalFilePath();
    if (!isVideoType(types.mimeTypeForFile(file, QMimeDatabase::MatchExtension))
        || !isVideoType(types.mimeTypeForFile(target, QMimeDatabase::MatchExtension))) {
        return false;
    }
    // What the bytes say, where they say anything; an empty file (a take cut
    // short) runs nothing.
    const QMimeType content = types.mimeTypeForFile(target, QMimeDatabase::MatchContent);
    return content.isDefault() || isVideoType(content) || file.size() == 0;
}

const VideoRecord *VideosListView::openableVideoWithId(int64_t id) const
{
    const VideoRecord *video = videoWithId(id);
    if (video && !isOpenableVideo(video->filePath)) {
        Log::line(QStringLiteral("⚠️ 不是视频文件，不予打开: ") + video->filePath);
        return nullptr;
    }
    return video;
}

void VideosListView::play(int64_t id)
{
    if (const VideoRecord *video = openableVideoWithId(id)) {
        DesktopWorkspace::shared().openUrl(QUrl::fromLocalFile(video->filePath));
    }
}

void VideosListView::reveal(int64_t id)
{
    if (const VideoRecord *video = openableVideoWithId(id)) {
        DesktopWorkspace::shared().activateFileViewerSelectingUrls({QUrl::fromLocalFile(video->filePath)});
    }
}

void VideosListView::remove(int64_t id)
{
    if (const VideoRecord *video = videoWithId(id); video && m_dbManager) {
        const VideoRecord doomed = *video; // the store republishes while we hold it
        m_dbManager->deleteVideo(doomed.id, true, doomed.filePath);
    }
}

std::unique_ptr<VideoRowMenu> VideosListView::contextMenuForRow(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        return nullptr;
    }
    const int64_t id = m_model->video(row).id;
    auto menu = std::make_unique<VideoRowMenu>(this);
    connect(menu->playAction(), &QAction::triggered, this, [this, id] { play(id); });
    connect(menu->revealAction(), &QAction::triggered, this, [this, id] { reveal(id); });
    connect(menu->deleteAction(), &QAction::triggered, this, [this, id] { remove(id); });
    return menu;
}

void VideosListView::showContextMenu(const QPoint &position)
{
    const QModelIndex index = m_rows->indexAt(position);
    if (!index.isValid()) {
        return;
    }
    VideoRowMenu *menu = contextMenuForRow(index.row()).release();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_rows->viewport()->mapToGlobal(position));
}
