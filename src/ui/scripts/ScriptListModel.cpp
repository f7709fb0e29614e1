#include "ui/scripts/ScriptListModel.h"

#include "library/DatabaseManager.h"

#include <QSet>

ScriptListModel::ScriptListModel(DatabaseManager *dbManager, QObject *parent)
    : QAbstractListModel(parent), m_dbManager(dbManager)
{
    if (m_dbManager) {
        m_scripts = m_dbManager->scripts();
        connect(m_dbManager, &DatabaseManager::scriptsChanged, this, [this] { republish(m_dbManager->scripts()); });
    }
}

int ScriptListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_scripts.size());
}

QVariant ScriptListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_scripts.size()) {
        return {};
    }
    const Script &script = m_scripts.at(index.row());
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
    if (row < 0 || row >= m_scripts.size()) {
        return std::nullopt;
    }
    return m_scripts.at(row);
}

int ScriptListModel::rowOf(int64_t id) const
{
    for (int row = 0; row < m_scripts.size(); ++row) {
        if (m_scripts.at(row).id == id) {
            return row;
        }
    }
    return -1;
}

void ScriptListModel::republish(const QList<Script> &next)
{
    Q_EMIT aboutToRepublish();
    if (m_scripts.isEmpty() || next.isEmpty()) {
        // One insertion or one removal covers the whole list.
        if (!m_scripts.isEmpty()) {
            beginRemoveRows({}, 0, int(m_scripts.size()) - 1);
            m_scripts.clear();
            endRemoveRows();
        }
        if (!next.isEmpty()) {
            beginInsertRows({}, 0, int(next.size()) - 1);
            m_scripts = next;
            endInsertRows();
        }
    } else {
        applySteps(next);
    }
    Q_EMIT republished();
}

void ScriptListModel::applySteps(const QList<Script> &next)
{
    int steps = 0;
    const auto resetTo = [&] {
        beginResetModel();
        m_scripts = next;
        endResetModel();
    };

    QSet<int64_t> nextIds;
    nextIds.reserve(next.size());
    for (const Script &script : next) {
        nextIds.insert(script.id);
    }

    // Removals, bottom up, one signal per run of gone rows.
    for (int row = int(m_scripts.size()) - 1; row >= 0; --row) {
        if (nextIds.contains(m_scripts.at(row).id)) {
            continue;
        }
        const int last = row;
        while (row > 0 && !nextIds.contains(m_scripts.at(row - 1).id)) {
            --row;
        }
        if (++steps > maximumSteps) {
            return resetTo();
        }
        beginRemoveRows({}, row, last);
        m_scripts.remove(row, last - row + 1);
        endRemoveRows();
    }

    QSet<int64_t> presentIds;
    presentIds.reserve(m_scripts.size());
    for (const Script &script : std::as_const(m_scripts)) {
        presentIds.insert(script.id);
    }

    // Walk the new order: every row above `position` already matches.
    int changedFirst = -1;
    int changedLast = -1;
    for (int position = 0; position < next.size(); ++position) {
        const Script &wanted = next.at(position);
        if (position < m_scripts.size() && m_scripts.at(position).id == wanted.id) {
            // fall through to the data comparison below
        } else if (presentIds.contains(wanted.id)) {
            int from = position + 1;
            while (from < m_scripts.size() && m_scripts.at(from).id != wanted.id) {
                ++from;
            }
            // A repeated id (only a damaged file has one) falls back to a reset.
            if (from >= m_scripts.size() || ++steps > maximumSteps) {
                return resetTo();
            }
            beginMoveRows({}, from, from, {}, position);
            m_scripts.move(from, position);
            endMoveRows();
        } else {
            int last = position;
            while (last + 1 < next.size() && !presentIds.contains(next.at(last + 1).id)) {
                ++last;
            }
            if (++steps > maximumSteps) {
                return resetTo();
            }
            beginInsertRows({}, position, last);
            for (int i = position; i <= last; ++i) {
                m_scripts.insert(i, next.at(i));
            }
            endInsertRows();
            position = last;
            continue;
        }
        if (!(m_scripts.at(position) == wanted)) {
            m_scripts[position] = wanted;
            changedFirst = changedFirst < 0 ? position : changedFirst;
            changedLast = position;
        }
    }
    if (changedFirst >= 0) {
        Q_EMIT dataChanged(index(changedFirst), index(changedLast));
    }
}
