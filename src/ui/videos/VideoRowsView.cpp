#include "ui/videos/VideoRowsView.h"

#include "ui/videos/VideoListModel.h"
#include "ui/videos/VideoRow.h"
#include "ui/videos/VideoRowButtons.h"

#include <QScrollBar>
#include <QTimer>

VideoRowsView::VideoRowsView(VideoListModel *model, QWidget *parent) : QListView(parent), m_model(model)
{
    setModel(model);
    setItemDelegate(new VideoRow(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setFrameShape(QFrame::NoFrame);
    verticalScrollBar()->setSingleStep(VideoRow::geometry(QRect()).thumbnail.height() / 2);

    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        // The view dropped every row's buttons.
        m_shownIds.clear();
        m_buttonIds.clear();
        scheduleUpdate();
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, &VideoRowsView::scheduleUpdate);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &VideoRowsView::scheduleUpdate);
    connect(model, &QAbstractItemModel::layoutChanged, this, &VideoRowsView::scheduleUpdate);
}

VideoRowButtons *VideoRowsView::buttonsForRow(int row) const
{
    return qobject_cast<VideoRowButtons *>(indexWidget(m_model->index(row)));
}

void VideoRowsView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    updateShownRows(); // at once, so new rows never paint without their buttons
}

void VideoRowsView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    scheduleUpdate();
}

void VideoRowsView::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    scheduleUpdate();
}

void VideoRowsView::hideEvent(QHideEvent *event)
{
    QListView::hideEvent(event);
    // Hidden rows are not shown: coming back counts as a new showing.
    m_shownIds.clear();
    Q_EMIT shownRowsChanged(m_shownIds);
}

void VideoRowsView::scheduleUpdate()
{
    if (m_updateScheduled) {
        return;
    }
    m_updateScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_updateScheduled = false;
        updateShownRows();
    });
}

QPair<int, int> VideoRowsView::rowsOnScreen()
{
    const int count = m_model->rowCount();
    if (!isVisible() || count == 0) {
        return {0, -1};
    }
    executeDelayedItemsLayout();
    const QModelIndex first = indexAt(QPoint(1, 0));
    if (!first.isValid()) {
        return {0, -1};
    }
    const QModelIndex last = indexAt(QPoint(1, viewport()->height() - 1));
    return {first.row(), last.isValid() ? last.row() : count - 1};
}

void VideoRowsView::updateShownRows()
{
    const auto [first, last] = rowsOnScreen();
    QSet<int64_t> shown;
    QList<int64_t> cameIntoView;
    for (int row = first; row <= last; ++row) {
        const VideoRecord &video = m_model->video(row);
        shown.insert(video.id);
        if (!m_shownIds.contains(video.id)) {
            cameIntoView << video.id;
        }
        const QModelIndex index = m_model->index(row);
        if (!indexWidget(index)) {
            auto *buttons = new VideoRowButtons(video.fileName);
            const int64_t id = video.id;
            connect(buttons, &VideoRowButtons::playClicked, this, [this, id] { Q_EMIT playRequested(id); });
            connect(buttons, &VideoRowButtons::revealClicked, this, [this, id] { Q_EMIT revealRequested(id); });
            setIndexWidget(index, buttons);
            m_buttonIds.insert(id);
        }
    }
    // Rows that left the screen give their buttons back.
    for (auto it = m_buttonIds.begin(); it != m_buttonIds.end();) {
        if (shown.contains(*it)) {
            ++it;
            continue;
        }
        if (const int row = m_model->rowOf(*it); row >= 0) {
            setIndexWidget(m_model->index(row), nullptr);
        }
        it = m_buttonIds.erase(it);
    }
    const bool changed = shown != m_shownIds;
    m_shownIds = shown;
    if (changed) {
        Q_EMIT shownRowsChanged(m_shownIds);
    }
    if (!cameIntoView.isEmpty()) {
        Q_EMIT rowsShown(cameIntoView);
    }
}
