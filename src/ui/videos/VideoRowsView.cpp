#include "ui/videos/VideoRowsView.h"

#include "ui/videos/VideoListModel.h"
#include "ui/videos/VideoRow.h"
#include "ui/videos/VideoRowsAccessible.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHoverEvent>
#include <QKeyEvent>
#include <QScrollBar>

VideoRowsView::VideoRowsView(VideoListModel *model, QWidget *parent)
    : QListView(parent), m_model(model), m_delegate(new VideoRow(this))
{
    VideoRowsAccessible::install();
    setModel(model);
    setItemDelegate(m_delegate);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    verticalScrollBar()->setSingleStep(VideoRow::geometry(QRect()).thumbnail.height() / 2);

    connect(
        m_delegate, &VideoRow::buttonClicked, this, [this](const QModelIndex &index, VideoRowButtons::Button button) {
            if (index.isValid() && index.row() < m_model->rowCount()) {
                pressButton(m_model->video(index.row()).id, button);
            }
        });
    // Our connections come after the view's own, so the rows are laid out anew
    // by the time these run.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_shownIds.clear(); // every row on screen now is shown anew
        updateShownRows();
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, &VideoRowsView::updateShownRows);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &VideoRowsView::updateShownRows);
    connect(model, &QAbstractItemModel::rowsMoved, this, &VideoRowsView::updateShownRows);
    connect(model, &QAbstractItemModel::layoutChanged, this, &VideoRowsView::updateShownRows);
}

QRect VideoRowsView::buttonRect(int row, VideoRowButtons::Button button)
{
    if (row < 0 || row >= m_model->rowCount() || button == VideoRowButtons::none) {
        return {};
    }
    executeDelayedItemsLayout();
    return VideoRowButtons::rect(visualRect(m_model->index(row)), button);
}

void VideoRowsView::pressButton(int64_t id, VideoRowButtons::Button button)
{
    if (m_model->rowOf(id) < 0) {
        return;
    }
    if (button == VideoRowButtons::play) {
        Q_EMIT playRequested(id);
    } else if (button == VideoRowButtons::reveal) {
        Q_EMIT revealRequested(id);
    }
}

void VideoRowsView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    updateShownRows();
}

void VideoRowsView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    updateShownRows();
}

void VideoRowsView::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    updateShownRows();
}

void VideoRowsView::hideEvent(QHideEvent *event)
{
    QListView::hideEvent(event);
    // Hidden rows are not shown: coming back counts as a new showing.
    m_shownIds.clear();
    Q_EMIT shownRowsChanged(m_shownIds);
}

bool VideoRowsView::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        hover(static_cast<QHoverEvent *>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        hover(QPoint(-1, -1));
        break;
    case QEvent::MouseButtonPress:
        showFocus(false);
        break;
    default:
        break;
    }
    return QListView::viewportEvent(event);
}

void VideoRowsView::hover(const QPoint &position)
{
    const QModelIndex index = indexAt(position);
    const VideoRowButtons::Button button
        = index.isValid() ? VideoRowButtons::at(visualRect(index), position) : VideoRowButtons::none;
    const QModelIndex before = m_delegate->hoveredRow();
    if (before == index && m_delegate->hoveredButton(index) == button) {
        return;
    }
    m_delegate->setHovered(index, button);
    for (const QModelIndex &row : {before, index}) {
        if (row.isValid()) {
            update(row);
        }
    }
}

bool VideoRowsView::event(QEvent *event)
{
    // The menu key opens the current row's menu, where reveal and delete are.
    if (event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        if (const QModelIndex current = currentIndex(); current.isValid()) {
            Q_EMIT customContextMenuRequested(visualRect(current).center());
        }
        return true;
    }
    return QListView::event(event);
}

void VideoRowsView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    showFocus(event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason);
}

void VideoRowsView::showFocus(bool shown)
{
    if (m_delegate->showsFocus() != shown) {
        m_delegate->setShowsFocus(shown);
        viewport()->update();
    }
}

void VideoRowsView::mouseReleaseEvent(QMouseEvent *event)
{
    QListView::mouseReleaseEvent(event);
    // A release over a row has reached the delegate by now; one anywhere else has not.
    if (const QModelIndex sunk = m_delegate->cancelPress(); sunk.isValid()) {
        update(sunk);
    }
}

void VideoRowsView::keyPressEvent(QKeyEvent *event)
{
    showFocus(true);
    // Enter on the current row plays it, like the row's first button.
    const QModelIndex current = currentIndex();
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && current.isValid()) {
        pressButton(m_model->video(current.row()).id, VideoRowButtons::play);
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
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
    if (changed) {
        Q_EMIT shownRowsChanged(m_shownIds);
    }
    if (!cameIntoView.isEmpty()) {
        Q_EMIT rowsShown(cameIntoView);
    }
}
