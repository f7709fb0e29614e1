#pragma once

#include <QList>
#include <QObject>

#include <cstdint>

class QListView;
class ScriptListModel;

// Keeps a script list where the user left it across a republish: the rows on
// screen before stay at the same height on screen after, as long as one of
// them is still in the list. A list scrolled to the very top stays at the top,
// so a new script coming in there is seen.
class ScriptScrollAnchor : public QObject {
    Q_OBJECT

public:
    ScriptScrollAnchor(QListView *view, ScriptListModel *model);

    void capture();
    void restore();

private:
    struct Mark {
        int64_t id;
        int top;
    };

    QListView *m_view;
    ScriptListModel *m_model;
    QList<Mark> m_marks;
    bool m_wasAtTop = true;
};
