#include "ui/recording/ScriptMenu.h"

#include "library/DatabaseManager.h"

#include <algorithm>

namespace {
QString menuTitle(QString title)
{
    // A menu reads '&' as a mnemonic and a tab as the start of a shortcut.
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    for (QChar &c : title) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            c = QLatin1Char(' ');
        }
    }
    return title;
}
} // namespace

ScriptMenu::ScriptMenu(DatabaseManager *dbManager, QWidget *parent) : QMenu(parent), m_dbManager(dbManager)
{
    connect(this, &QMenu::aboutToShow, this, &ScriptMenu::rebuild);
    if (dbManager) {
        connect(dbManager, &DatabaseManager::scriptsChanged, this, [this] { m_isStale = true; });
    }
}

QString ScriptMenu::pageTitle(qsizetype first, qsizetype last)
{
    return QStringLiteral("第 %1–%2 条").arg(first).arg(last);
}

void ScriptMenu::rebuild()
{
    if (!m_isStale) {
        return;
    }
    m_isStale = false;
    clear();
    // Shown only while this menu is, so none of them is open now.
    qDeleteAll(m_pages);
    m_pages.clear();
    m_entries.clear();
    if (!m_dbManager) {
        return;
    }
    const QList<Script> scripts = m_dbManager->scripts();
    m_entries.reserve(scripts.size());
    for (const Script &script : scripts) {
        m_entries.append({script.id, script.title});
    }
    const qsizetype count = m_entries.size();
    fill(this, 0, std::min<qsizetype>(count, pageSize));
    if (count > pageSize) {
        addSeparator();
    }
    for (qsizetype from = pageSize; from < count; from += pageSize) {
        const qsizetype to = std::min<qsizetype>(count, from + pageSize);
        auto *page = new QMenu(pageTitle(from + 1, to), this);
        page->setFont(font());
        addMenu(page);
        m_pages.append(page);
        connect(page, &QMenu::aboutToShow, this, [this, page, from, to] {
            if (page->isEmpty()) {
                fill(page, from, to);
            }
        });
    }
}

void ScriptMenu::fill(QMenu *menu, qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to && i < m_entries.size(); ++i) {
        QAction *action = menu->addAction(menuTitle(m_entries[i].title));
        const int64_t id = m_entries[i].id;
        action->setData(QVariant::fromValue<qint64>(id));
        connect(action, &QAction::triggered, this, [this, id] { Q_EMIT scriptChosen(id); });
    }
}
