#include "ui/scripts/ScriptListModel.h"

#include "library/DatabaseManager.h"

ScriptListModel::ScriptListModel(DatabaseManager *dbManager, QObject *parent)
    : RepublishedListModel(parent), m_dbManager(dbManager)
{
    if (m_dbManager) {
        m_items = m_dbManager->scripts();
        connect(m_dbManager, &DatabaseManager::scriptsChanged, this, [this] { republish(m_dbManager->scripts()); });
    }
}

QVariant ScriptListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size()) {
        return {};
    }
    const Script &script = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return script.title;
    case Qt::AccessibleDescriptionRole:
        return script.content;
    case ScriptRole:
        return QVariant::fromValue(script);
    case IdRole:
        return QVariant::fromValue<qint64>(script.id);
    case ContentRole:
        return script.content;
    case UpdatedAtRole:
        return script.updatedAt;
    default:
        return {};
    }
}

QHash<int, QByteArray> ScriptListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(ScriptRole, "script");
    names.insert(IdRole, "id");
    names.insert(ContentRole, "content");
    names.insert(UpdatedAtRole, "updatedAt");
    return names;
}

std::optional<Script> ScriptListModel::script(int row) const
{
    if (row < 0 || row >= m_items.size()) {
        return std::nullopt;
    }
    return m_items.at(row);
}

int ScriptListModel::rowOf(int64_t id) const
{
    for (int row = 0; row < m_items.size(); ++row) {
        if (m_items.at(row).id == id) {
            return row;
        }
    }
    return -1;
}

void ScriptListModel::republish(const QList<Script> &next)
{
    Q_EMIT aboutToRepublish();
    republishItems(next);
    Q_EMIT republished();
}
