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
        m_shownIds.clear(); // every row on screen now is shown anew
        scheduleUpdate();
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, &VideoRowsView::scheduleUpdate);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &VideoRowsView::scheduleUpdate);
    connect(model, &QAbstractItemModel::layoutChanged, this, &VideoRowsView::scheduleUpdate);
}

VideoRowButtons *VideoRowsView::buttonsForRow(int row) const
{
    if (row < 0 || row >= m_model->rowCount()) {
        return nullptr;
    }
    return m_boundButtons.value(m_model->video(row).id);
}

void VideoRowsView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    updateShownRows(); // at once, so new rows never paint without their buttons
}

void VideoRowsView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    updateShownRows();
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
        const int64_t id = m_model->video(row).id;
        shown.insert(id);
        if (!m_shownIds.contains(id)) {
            cameIntoView << id;
        }
    }
    const bool changed = shown != m_shownIds;
    m_shownIds = shown;
    placeButtons(first, last);
    if (changed) {
        Q_EMIT shownRowsChanged(m_shownIds);
    }
    if (!cameIntoView.isEmpty()) {
        Q_EMIT rowsShown(cameIntoView);
    }
}

VideoRowButtons *VideoRowsView::takeFreeButtons()
{
    if (!m_freeButtons.isEmpty()) {
        return m_freeButtons.takeLast();
    }
    auto *buttons = new VideoRowButtons(viewport());
    connect(
        buttons, &VideoRowButtons::playClicked, this, [this, buttons] { Q_EMIT playRequested(buttons->videoId()); });
    connect(buttons, &VideoRowButtons::revealClicked, this,
        [this, buttons] { Q_EMIT revealRequested(buttons->videoId()); });
    return buttons;
}

void VideoRowsView::placeButtons(int first, int last)
{
    // Rows that stay keep their buttons (and the keyboard focus in them).
    for (auto it = m_boundButtons.begin(); it != m_boundButtons.end();) {
        if (m_shownIds.contains(it.key())) {
            ++it;
            continue;
        }
        it.value()->hide();
        m_freeButtons << it.value();
        it = m_boundButtons.erase(it);
    }
    for (int row = first; row <= last; ++row) {
        const VideoRecord &video = m_model->video(row);
        VideoRowButtons *&buttons = m_boundButtons[video.id];
        if (!buttons) {
            buttons = takeFreeButtons();
            buttons->setVideo(video.id, video.fileName);
        }
        buttons->setGeometry(VideoRow::geometry(visualRect(m_model->index(row))).buttons);
        buttons->show();
    }
}
