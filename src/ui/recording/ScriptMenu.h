#pragma once

#include <QList>
#include <QMenu>
#include <QPointer>

#include <cstdint>

class DatabaseManager;

// The teleprompter row's menu of library scripts, newest first. It is built
// when it is about to show and only after the library has changed, so a save
// elsewhere costs nothing here. The newest `pageSize` scripts are items of
// their own; older ones come in submenus of `pageSize`, each built when it
// opens: a flat menu of thousands of items takes far too long to lay out.
class ScriptMenu : public QMenu {
    Q_OBJECT

public:
    static constexpr int pageSize = 50;

    explicit ScriptMenu(DatabaseManager *dbManager, QWidget *parent = nullptr);

    // "第 51–100 条": the title of the submenu of scripts `first` to `last`, counted from 1.
    static QString pageTitle(qsizetype first, qsizetype last);

Q_SIGNALS:
    void scriptChosen(int64_t id);

private:
    struct Entry {
        int64_t id;
        QString title;
    };

    void rebuild();
    void fill(QMenu *menu, qsizetype from, qsizetype to);

    QPointer<DatabaseManager> m_dbManager;
    bool m_isStale = true;
    // The library's list as it was when the menu was built; the submenus read it.
    QList<Entry> m_entries;
    QList<QMenu *> m_pages;
};
