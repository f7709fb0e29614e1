#include "ui/scripts/ScriptsListView.h"

#include "library/DatabaseManager.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

ScriptsListView::ScriptsListView(DatabaseManager *dbManager, RecordAction onRecordWithScript, QWidget *parent)
    : QWidget(parent), m_dbManager(dbManager), m_onRecordWithScript(std::move(onRecordWithScript))
{
    auto *layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
    layout->addWidget(m_list, 1);
    m_recordButton = new QPushButton(QStringLiteral("用此提示词录制"), this);
    layout->addWidget(m_recordButton, 0, Qt::AlignRight);

    connect(m_recordButton, &QPushButton::clicked, this, &ScriptsListView::recordSelected);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &ScriptsListView::recordSelected);
    connect(m_dbManager, &DatabaseManager::scriptsChanged, this, &ScriptsListView::reload);
    reload();
}

void ScriptsListView::reload()
{
    m_list->clear();
    for (const Script &script : m_dbManager->scripts()) {
        // List items are plain text, so titles never render as markup.
        auto *item = new QListWidgetItem(script.title, m_list);
        item->setData(Qt::UserRole, QVariant::fromValue(script.id));
    }
}

void ScriptsListView::recordSelected()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item || !m_onRecordWithScript) {
        return;
    }
    const auto id = item->data(Qt::UserRole).value<int64_t>();
    for (const Script &script : m_dbManager->scripts()) {
        if (script.id == id) {
            m_onRecordWithScript(script);
            return;
        }
    }
}
