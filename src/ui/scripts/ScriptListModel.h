#pragma once

#include "library/Script.h"
#include "ui/common/RepublishedListModel.h"

#include <QList>

#include <optional>

class DatabaseManager;

// The store's published scripts as a list model, in the order published.
class ScriptListModel : public RepublishedListModel<Script> {
    Q_OBJECT

public:
    enum Role {
        ScriptRole = Qt::UserRole + 1,
        IdRole,
        ContentRole,
        UpdatedAtRole,
    };

    explicit ScriptListModel(DatabaseManager *dbManager, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<Script> &scripts() const { return items(); }
    std::optional<Script> script(int row) const;
    int rowOf(int64_t id) const;

    // Brings the rows in line with `next`.
    void republish(const QList<Script> &next);

Q_SIGNALS:
    // Around each republish, so a view can hold on to what the user was looking at.
    void aboutToRepublish();
    void republished();

private:
    DatabaseManager *m_dbManager;
};
