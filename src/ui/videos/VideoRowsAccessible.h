#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

#include <cstdint>

class VideoRowsView;

// What a screen reader finds in the video list: a list of rows, each named by
// its file and holding its two painted buttons as buttons with a press
// action, so they can be found and pressed although they are no widgets.
// Like Qt's own item views, the rows' interfaces are made on demand and
// registered, and go with the list's.
class VideoRowsAccessible : public QAccessibleWidget {
public:
    explicit VideoRowsAccessible(VideoRowsView *view);
    ~VideoRowsAccessible() override;

    // Makes every VideoRowsView answer with this interface.
    static void install();

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

private:
    VideoRowsView *view() const;
    void dropRowsGone() const;

    mutable QHash<int64_t, QAccessible::Id> m_rows;
};
