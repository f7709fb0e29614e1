#include "ui/videos/VideoRowMenu.h"

#include <QStyleOptionMenuItem>

VideoRowMenu::VideoRowMenu(QWidget *parent) : QMenu(parent)
{
    m_play = addAction(QStringLiteral("播放"));
    m_reveal = addAction(QStringLiteral("在文件管理器中显示"));
    addSeparator();
    m_delete = addAction(QStringLiteral("删除"));
}

void VideoRowMenu::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const
{
    QMenu::initStyleOption(option, action);
    if (action == m_delete && !(option->state & QStyle::State_Selected)) {
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) {
            option->palette.setColor(role, destructiveColor());
        }
    }
}
