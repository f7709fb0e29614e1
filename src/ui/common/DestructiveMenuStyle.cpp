#include "ui/common/DestructiveMenuStyle.h"

#include "ui/common/UiStyle.h"

#include <QAction>
#include <QMenu>
#include <QStyleOptionMenuItem>

namespace {
const char *const destructiveProperty = "veltroscopeDestructive";
}

DestructiveMenuStyle::DestructiveMenuStyle(QObject *parent) : QProxyStyle()
{
    setParent(parent);
}

void DestructiveMenuStyle::markDestructive(QAction *action)
{
    action->setProperty(destructiveProperty, true);
}

bool DestructiveMenuStyle::isDestructive(const QAction *action)
{
    return action && action->property(destructiveProperty).toBool();
}

void DestructiveMenuStyle::drawControl(
    ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    const auto *menu = qobject_cast<const QMenu *>(widget);
    if (element != CE_MenuItem || !item || !menu || !isDestructive(menu->actionAt(item->rect.center()))) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    QStyleOptionMenuItem red(*item);
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
        red.palette.setColor(QPalette::Active, role, UiStyle::destructive());
        red.palette.setColor(QPalette::Inactive, role, UiStyle::destructive());
    }
    QProxyStyle::drawControl(element, &red, painter, widget);
}
