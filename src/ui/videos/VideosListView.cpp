#include "ui/videos/VideosListView.h"

#include "library/DatabaseManager.h"

#include <QListWidget>
#include <QVBoxLayout>

VideosListView::VideosListView(DatabaseManager *dbManager, QWidget *parent) : QWidget(parent), m_dbManager(dbManager)
{
    auto *layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
    layout->addWidget(m_list);
    connect(m_dbManager, &DatabaseManager::videosChanged, this, &VideosListView::reload);
    reload();
}

void VideosListView::reload()
{
    m_list->clear();
    for (const VideoRecord &video : m_dbManager->videos()) {
        m_list->addItem(video.fileName);
    }
}
