#pragma once

#include "ui/videos/VideoRowButtons.h"

#include <QListView>
#include <QSet>

class VideoListModel;
class VideoRow;

// The list of video rows. It knows which rows are on screen: only those have
// their pictures loaded. Each row's play and reveal buttons are painted and
// clicked through the row delegate; screen readers find them as children of
// the row (VideoRowsAccessible).
class VideoRowsView : public QListView {
    Q_OBJECT

public:
    explicit VideoRowsView(VideoListModel *model, QWidget *parent = nullptr);

    VideoListModel *videoModel() const { return m_model; }
    VideoRow *rowDelegate() const { return m_delegate; }
    const QSet<int64_t> &shownIds() const { return m_shownIds; }

    // Where a row's button lies in the viewport; empty for a row not in the list.
    QRect buttonRect(int row, VideoRowButtons::Button button);
    // What a click on the button does, for the keyboard and screen readers too.
    void pressButton(int64_t id, VideoRowButtons::Button button);

    // Brings the shown rows up to date.
    void updateShownRows();

Q_SIGNALS:
    // Rows that came on screen, by video id.
    void rowsShown(const QList<int64_t> &ids);
    // All rows on screen now; rows that left are no longer in it.
    void shownRowsChanged(const QSet<int64_t> &ids);
    void playRequested(int64_t id);
    void revealRequested(int64_t id);

protected:
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    QPair<int, int> rowsOnScreen();
    void hover(const QPoint &position);
    void showFocus(bool shown);

    VideoListModel *m_model;
    VideoRow *m_delegate;
    QSet<int64_t> m_shownIds;
};
