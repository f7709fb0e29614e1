#pragma once

#include <QWidget>

class QLabel;

// "已录制视频" and the number of videos, on the control background.
class VideosHeaderBar : public QWidget {
    Q_OBJECT

public:
    explicit VideosHeaderBar(QWidget *parent = nullptr);

    void setCount(qsizetype count);
    static QString countText(qsizetype count);

    QLabel *countLabel() const { return m_count; }

private:
    QLabel *m_count = nullptr;
};
