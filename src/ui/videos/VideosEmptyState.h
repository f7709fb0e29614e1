#pragma once

#include <QWidget>

// What the video tab shows before anything is recorded.
class VideosEmptyState : public QWidget {
    Q_OBJECT

public:
    explicit VideosEmptyState(QWidget *parent = nullptr);
};
