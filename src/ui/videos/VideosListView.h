#pragma once

#include <QWidget>

class DatabaseManager;
class QListWidget;

// The video library tab: finished recordings, newest first.
class VideosListView : public QWidget {
    Q_OBJECT

public:
    explicit VideosListView(DatabaseManager *dbManager, QWidget *parent = nullptr);

    QListWidget *list() const { return m_list; }

private:
    void reload();

    DatabaseManager *m_dbManager;
    QListWidget *m_list = nullptr;
};
