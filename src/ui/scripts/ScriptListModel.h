#pragma once

#include "library/Script.h"

#include <QAbstractListModel>
#include <QList>

#include <optional>

class DatabaseManager;

// The store's published scripts as a list model, in the order published.
// A republished list is applied as row removals, moves, insertions and data
// changes, so views keep their rows (and what points at them) across a save.
class ScriptListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        ScriptRole = Qt::UserRole + 1,
        IdRole,
        ContentRole,
        UpdatedAtRole,
    };

    // Past this many single steps a republish resets the model instead.
    static constexpr int maximumSteps = 64;

    explicit ScriptListModel(DatabaseManager *dbManager, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<Script> &scripts() const { return m_scripts; }
    std::optional<Script> script(int row) const;
    int rowOf(int64_t id) const;

    // Brings the rows in line with `next`.
    void republish(const QList<Script> &next);

Q_SIGNALS:
    // Around each republish, so a view can hold on to what the user was looking at.
    void aboutToRepublish();
    void republished();

private:
    void applySteps(const QList<Script> &next);

    DatabaseManager *m_dbManager;
    QList<Script> m_scripts;
};
