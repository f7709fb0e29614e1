#pragma once

#include <QProxyStyle>

class QAction;

// Draws the menu entries marked destructive in red, so that an entry that
// deletes at once, without a question, stands out from its neighbours. Set on
// a menu with QWidget::setStyle; any menu of any screen can use it.
class DestructiveMenuStyle : public QProxyStyle {
    Q_OBJECT

public:
    explicit DestructiveMenuStyle(QObject *parent = nullptr);

    static void markDestructive(QAction *action);
    static bool isDestructive(const QAction *action);

    void drawControl(
        ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const override;
};
