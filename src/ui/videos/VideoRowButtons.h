#pragma once

#include <QWidget>

#include <cstdint>

class QToolButton;

// The play and reveal buttons of one row: borderless icon buttons named by
// their tooltips, so screen readers and keyboards reach them.
class VideoRowButtons : public QWidget {
    Q_OBJECT

public:
    static QString playText() { return QStringLiteral("播放视频"); }
    static QString revealText() { return QStringLiteral("在文件管理器中显示"); }

    explicit VideoRowButtons(QWidget *parent = nullptr);

    // The row the buttons act for; the list moves a few of them from row to row.
    void setVideo(int64_t id, const QString &fileName);
    int64_t videoId() const { return m_videoId; }

    QToolButton *playButton() const { return m_play; }
    QToolButton *revealButton() const { return m_reveal; }

Q_SIGNALS:
    void playClicked();
    void revealClicked();

private:
    QToolButton *makeButton(const QString &symbol, const QString &text);

    int64_t m_videoId = -1;
    QToolButton *m_play = nullptr;
    QToolButton *m_reveal = nullptr;
};
