#include "ui/videos/VideoRowsAccessible.h"

#include "ui/videos/VideoListModel.h"
#include "ui/videos/VideoRowsView.h"

#include <QWindow>

namespace {
QRect onScreen(VideoRowsView *view, const QRect &rect)
{
    return QRect(view->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

// Common ground of a row and its buttons: what they belong to, and the row
// they stand for, looked up by id each time so that it is never stale.
class RowPart : public QAccessibleInterface {
public:
    RowPart(VideoRowsView *view, int64_t id) : m_view(view), m_id(id) { }

    bool isValid() const override { return m_view && m_view->videoModel()->rowOf(m_id) >= 0; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString &) override { }

protected:
    int row() const { return m_view ? m_view->videoModel()->rowOf(m_id) : -1; }
    QString fileName() const { return row() >= 0 ? m_view->videoModel()->video(row()).fileName : QString(); }

    QPointer<VideoRowsView> m_view;
    int64_t m_id;
};

class ButtonPart : public RowPart, public QAccessibleActionInterface {
public:
    ButtonPart(VideoRowsView *view, int64_t id, VideoRowButtons::Button button, QAccessibleInterface *rowPart)
        : RowPart(view, id), m_button(button), m_row(rowPart)
    {
    }

    QAccessibleInterface *parent() const override { return m_row; }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return VideoRowButtons::text(m_button);
        case QAccessible::Description: // said after the name, so the rows are told apart
            return fileName();
        default:
            return {};
        }
    }
    QRect rect() const override { return isValid() ? onScreen(m_view, m_view->buttonRect(row(), m_button)) : QRect(); }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !isValid() || !m_view->isVisible();
        return state;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && isValid()) {
            m_view->pressButton(m_id, m_button);
        }
    }

private:
    VideoRowButtons::Button m_button;
    QAccessibleInterface *m_row;
};

class RowItem : public RowPart {
public:
    RowItem(VideoRowsView *view, int64_t id) : RowPart(view, id)
    {
        for (VideoRowButtons::Button button : {VideoRowButtons::play, VideoRowButtons::reveal}) {
            m_buttons[button] = QAccessible::registerAccessibleInterface(new ButtonPart(view, id, button, this));
        }
    }
    ~RowItem() override
    {
        for (QAccessible::Id id : m_buttons) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    QAccessibleInterface *parent() const override
    {
        return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
    }
    int childCount() const override { return VideoRowButtons::count; }
    QAccessibleInterface *child(int index) const override
    {
        return index >= 0 && index < VideoRowButtons::count ? QAccessible::accessibleInterface(m_buttons[index])
                                                            : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < VideoRowButtons::count; ++i) {
            if (QAccessible::accessibleInterface(m_buttons[i]) == child) {
                return i;
            }
        }
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int i = 0; i < VideoRowButtons::count; ++i) {
            if (child(i)->rect().contains(x, y)) {
                return child(i);
            }
        }
        return nullptr;
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid()) {
            return {};
        }
        const QModelIndex index = m_view->videoModel()->index(row());
        switch (t) {
        case QAccessible::Name:
            return index.data(Qt::AccessibleTextRole).toString();
        case QAccessible::Description:
            return index.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
        }
    }
    QRect rect() const override
    {
        return isValid() ? onScreen(m_view, m_view->visualRect(m_view->videoModel()->index(row()))) : QRect();
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !isValid() || !m_view->isVisible()
            || !m_view->viewport()->rect().intersects(m_view->visualRect(m_view->videoModel()->index(row())));
        return state;
    }

private:
    QAccessible::Id m_buttons[VideoRowButtons::count] = {};
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("VideoRowsView") && object && object->isWidgetType()) {
        return new VideoRowsAccessible(static_cast<VideoRowsView *>(object));
    }
    return nullptr;
}
} // namespace

VideoRowsAccessible::VideoRowsAccessible(VideoRowsView *view) : QAccessibleWidget(view, QAccessible::List)
{
}

VideoRowsAccessible::~VideoRowsAccessible()
{
    for (QAccessible::Id id : std::as_const(m_rows)) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

void VideoRowsAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

VideoRowsView *VideoRowsAccessible::view() const
{
    return static_cast<VideoRowsView *>(widget());
}

int VideoRowsAccessible::childCount() const
{
    return view()->videoModel()->rowCount();
}

QAccessibleInterface *VideoRowsAccessible::child(int index) const
{
    if (index < 0 || index >= childCount()) {
        return nullptr;
    }
    const int64_t id = view()->videoModel()->video(index).id;
    auto found = m_rows.constFind(id);
    if (found == m_rows.constEnd()) {
        dropRowsGone();
        found = m_rows.insert(id, QAccessible::registerAccessibleInterface(new RowItem(view(), id)));
    }
    return QAccessible::accessibleInterface(*found);
}

int VideoRowsAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    for (auto it = m_rows.constBegin(); it != m_rows.constEnd(); ++it) {
        if (QAccessible::accessibleInterface(it.value()) == child) {
            return view()->videoModel()->rowOf(it.key());
        }
    }
    return -1;
}

QAccessibleInterface *VideoRowsAccessible::childAt(int x, int y) const
{
    const QPoint local = view()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = view()->indexAt(local);
    return index.isValid() ? child(index.row()) : nullptr;
}

void VideoRowsAccessible::dropRowsGone() const
{
    // Rows of deleted videos are let go once they outnumber the live ones.
    if (m_rows.size() < 2 * childCount() + 16) {
        return;
    }
    for (auto it = m_rows.begin(); it != m_rows.end();) {
        if (view()->videoModel()->rowOf(it.key()) < 0) {
            QAccessible::deleteAccessibleInterface(it.value());
            it = m_rows.erase(it);
        } else {
            ++it;
        }
    }
}
