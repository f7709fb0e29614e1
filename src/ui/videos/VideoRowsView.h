#pragma once

#include <QHash>
#include <QListView>
#include <QSet>

class VideoListModel;
class VideoRowButtons;

// The list of video rows. It knows which rows are on screen: only those get
// buttons and have their pictures loaded. The buttons are a few widgets that
// move from row to row; building widgets for every row, or on every scroll
// step, costs more than painting the rows.
class VideoRowsView : public QListView {
    Q_OBJECT

public:
    explicit VideoRowsView(VideoListModel *model, QWidget *parent = nullptr);

    VideoListModel *videoModel() const { return m_model; }
    const QSet<int64_t> &shownIds() const { return m_shownIds; }
    VideoRowButtons *buttonsForRow(int row) const;

    // Brings the shown rows up to date now rather than on the next turn of the loop.
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

private:
    void scheduleUpdate();
    QPair<int, int> rowsOnScreen();
    void placeButtons(int first, int last);
    VideoRowButtons *takeFreeButtons();

    VideoListModel *m_model;
    QSet<int64_t> m_shownIds;
    QHash<int64_t, VideoRowButtons *> m_boundButtons;
    QList<VideoRowButtons *> m_freeButtons;
    bool m_updateScheduled = false;
};
