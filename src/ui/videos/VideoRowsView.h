#pragma once

#include <QListView>
#include <QSet>

class VideoListModel;
class VideoRowButtons;

// The list of video rows. It knows which rows are on screen: only those get
// their buttons and have their pictures loaded.
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

    VideoListModel *m_model;
    QSet<int64_t> m_shownIds;
    QSet<int64_t> m_buttonIds;
    bool m_updateScheduled = false;
};
