#include "ui/videos/VideoRowMenu.h"

#include "ui/common/DestructiveMenuStyle.h"

VideoRowMenu::VideoRowMenu(QWidget *parent) : QMenu(parent)
{
    setStyle(new DestructiveMenuStyle(this));
    m_play = addAction(QStringLiteral("播放"));
    m_reveal = addAction(QStringLiteral("在文件管理器中显示"));
    addSeparator();
    m_delete = addAction(QStringLiteral("删除"));
    DestructiveMenuStyle::markDestructive(m_delete);
}
