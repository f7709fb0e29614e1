#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QSet>

#include <cstdint>

// A list model over records with an `id` that the store republishes whole.
// A republished list is applied as row removals, moves, insertions and data
// changes, so that views keep their place, their scroll position and what
// points at their rows across a save or a delete. Past `maximumSteps` single
// steps, or for a list those steps cannot describe (a repeated id, which only
// a damaged library holds), the model resets instead.
template <typename Item> class RepublishedListModel : public QAbstractListModel {
public:
    static constexpr int maximumSteps = 64;

    const QList<Item> &items() const { return m_items; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_items.size());
    }

protected:
    explicit RepublishedListModel(QObject *parent) : QAbstractListModel(parent) { }

    // Runs after every change of the rows, before the views are told of it,
    // so that what the model derives from its rows is right when they ask.
    virtual void rowsRearranged() { }

    void republishItems(const QList<Item> &next)
    {
        if (m_items.isEmpty() || next.isEmpty()) {
            // One removal and one insertion cover the whole list.
            if (!m_items.isEmpty()) {
                beginRemoveRows({}, 0, int(m_items.size()) - 1);
                m_items.clear();
                rowsRearranged();
                endRemoveRows();
            }
            if (!next.isEmpty()) {
                beginInsertRows({}, 0, int(next.size()) - 1);
                m_items = next;
                rowsRearranged();
                endInsertRows();
            }
        } else if (!applySteps(next) || m_items != next) {
            beginResetModel();
            m_items = next;
            rowsRearranged();
            endResetModel();
        }
    }

    QList<Item> m_items;

private:
    static QSet<int64_t> idsOf(const QList<Item> &items)
    {
        QSet<int64_t> ids;
        ids.reserve(items.size());
        for (const Item &item : items) {
            ids.insert(item.id);
        }
        return ids;
    }

    // False where the caller must reset.
    bool applySteps(const QList<Item> &next)
    {
        int steps = 0;
        const QSet<int64_t> nextIds = idsOf(next);
        // Removals, bottom up, one signal per run of gone rows.
        for (int row = int(m_items.size()) - 1; row >= 0; --row) {
            if (nextIds.contains(m_items.at(row).id)) {
                continue;
            }
            const int last = row;
            while (row > 0 && !nextIds.contains(m_items.at(row - 1).id)) {
                --row;
            }
            if (++steps > maximumSteps) {
                return false;
            }
            beginRemoveRows({}, row, last);
            m_items.remove(row, last - row + 1);
            rowsRearranged();
            endRemoveRows();
        }

        // Walk the new order: every row above `position` is already final.
        const QSet<int64_t> presentIds = idsOf(m_items);
        QList<int> changed;
        for (int position = 0; position < next.size(); ++position) {
            const Item &wanted = next.at(position);
            if (position < m_items.size() && m_items.at(position).id == wanted.id) {
                // in place; compared below
            } else if (presentIds.contains(wanted.id)) {
                int from = position + 1;
                while (from < m_items.size() && m_items.at(from).id != wanted.id) {
                    ++from;
                }
                if (from >= m_items.size() || ++steps > maximumSteps) {
                    return false;
                }
                beginMoveRows({}, from, from, {}, position);
                m_items.move(from, position);
                rowsRearranged();
                endMoveRows();
            } else {
                int last = position;
                while (last + 1 < next.size() && !presentIds.contains(next.at(last + 1).id)) {
                    ++last;
                }
                if (++steps > maximumSteps) {
                    return false;
                }
                beginInsertRows({}, position, last);
                for (int i = position; i <= last; ++i) {
                    m_items.insert(i, next.at(i));
                }
                rowsRearranged();
                endInsertRows();
                position = last;
                continue;
            }
            if (!(m_items.at(position) == wanted)) {
                m_items[position] = wanted;
                changed << position;
            }
        }
        // Rows left over below the new list mean repeated ids.
        if (m_items.size() != next.size()) {
            return false;
        }
        for (qsizetype i = 0; i < changed.size();) {
            qsizetype end = i;
            while (end + 1 < changed.size() && changed.at(end + 1) == changed.at(end) + 1) {
                ++end;
            }
            Q_EMIT dataChanged(index(changed.at(i)), index(changed.at(end)));
            i = end + 1;
        }
        return true;
    }
};
