#include "ui/scripts/ScriptScrollAnchor.h"

#include "ui/scripts/ScriptListModel.h"

#include <QListView>
#include <QScrollBar>

ScriptScrollAnchor::ScriptScrollAnchor(QListView *view, ScriptListModel *model)
    : QObject(view), m_view(view), m_model(model)
{
    connect(m_model, &ScriptListModel::aboutToRepublish, this, &ScriptScrollAnchor::capture);
    connect(m_model, &ScriptListModel::republished, this, &ScriptScrollAnchor::restore);
}

void ScriptScrollAnchor::capture()
{
    m_marks.clear();
    m_wasAtTop = m_view->verticalScrollBar()->value() == 0;
    if (m_wasAtTop) {
        return;
    }
    const int x = m_view->viewport()->width() / 2;
    const int height = m_view->viewport()->height();
    for (QModelIndex index = m_view->indexAt(QPoint(x, 0)); index.isValid(); index = m_model->index(index.row() + 1)) {
        const QRect rect = m_view->visualRect(index);
        if (rect.top() >= height) {
            break;
        }
        m_marks.append(Mark{index.data(ScriptListModel::IdRole).toLongLong(), rect.top()});
    }
}

void ScriptScrollAnchor::restore()
{
    QScrollBar *bar = m_view->verticalScrollBar();
    if (m_wasAtTop) {
        m_view->scrollToTop();
        return;
    }
    for (const Mark &mark : std::as_const(m_marks)) {
        const int row = m_model->rowOf(mark.id);
        if (row < 0) {
            continue;
        }
        // visualRect lays the list out first, so the scroll range is current.
        const QRect rect = m_view->visualRect(m_model->index(row));
        bar->setValue(bar->value() + rect.top() - mark.top);
        return;
    }
}
