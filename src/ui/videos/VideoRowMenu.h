#pragma once

#include <QMenu>

// A row's context menu: play, reveal, and, set apart and in red, delete.
class VideoRowMenu : public QMenu {
    Q_OBJECT

public:
    explicit VideoRowMenu(QWidget *parent = nullptr);

    QAction *playAction() const { return m_play; }
    QAction *revealAction() const { return m_reveal; }
    QAction *deleteAction() const { return m_delete; }

private:
    QAction *m_play = nullptr;
    QAction *m_reveal = nullptr;
    QAction *m_delete = nullptr;
};
