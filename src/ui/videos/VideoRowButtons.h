#pragma once

#include <QWidget>

class QToolButton;

// The play and reveal buttons of one row: borderless icon buttons named by
// their tooltips, so screen readers and keyboards reach them.
class VideoRowButtons : public QWidget {
    Q_OBJECT

public:
    static QString playText() { return QStringLiteral("播放视频"); }
    static QString revealText() { return QStringLiteral("在文件管理器中显示"); }

    explicit VideoRowButtons(const QString &fileName, QWidget *parent = nullptr);

    QToolButton *playButton() const { return m_play; }
    QToolButton *revealButton() const { return m_reveal; }

Q_SIGNALS:
    void playClicked();
    void revealClicked();

private:
    QToolButton *makeButton(const QString &symbol, const QString &text, const QString &fileName);

    QToolButton *m_play = nullptr;
    QToolButton *m_reveal = nullptr;
};
