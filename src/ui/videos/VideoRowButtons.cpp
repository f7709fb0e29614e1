#include "ui/videos/VideoRowButtons.h"

#include "ui/videos/VideoListStyle.h"
#include "ui/videos/VideoRow.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStyleOptionViewItem>

QString VideoRowButtons::text(Button button)
{
    return button == play ? playText() : revealText();
}

QString VideoRowButtons::symbolName(Button button)
{
    return button == play ? QStringLiteral("play.fill") : QStringLiteral("folder");
}

QRect VideoRowButtons::rect(const QRect &rowRect, Button button)
{
    const QRect both = VideoRow::geometry(rowRect).buttons;
    const int left = both.left() + int(button) * (VideoListStyle::buttonSize + VideoListStyle::buttonSpacing);
    return QRect(left, both.top(), VideoListStyle::buttonSize, VideoListStyle::buttonSize);
}

VideoRowButtons::Button VideoRowButtons::at(const QRect &rowRect, const QPoint &position)
{
    for (Button button : {play, reveal}) {
        if (rect(rowRect, button).contains(position)) {
            return button;
        }
    }
    return none;
}

void VideoRowButtons::paint(
    QPainter *painter, const QStyleOptionViewItem &option, Button hovered, Button pressed, const QIcon *icons)
{
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    for (Button button : {play, reveal}) {
        QStyleOptionToolButton tool;
        if (option.widget) {
            tool.initFrom(option.widget);
        }
        tool.rect = rect(option.rect, button);
        tool.palette = option.palette;
        tool.icon = icons[button];
        tool.iconSize = QSize(VideoListStyle::buttonIconSize, VideoListStyle::buttonIconSize);
        tool.toolButtonStyle = Qt::ToolButtonIconOnly;
        tool.subControls = QStyle::SC_ToolButton;
        tool.state = QStyle::State_Enabled | QStyle::State_AutoRaise;
        tool.state.setFlag(QStyle::State_HasFocus, false);
        tool.state.setFlag(QStyle::State_MouseOver, button == hovered);
        if (button == pressed) {
            tool.state |= QStyle::State_Sunken;
            tool.activeSubControls = QStyle::SC_ToolButton;
        } else if (button == hovered) {
            tool.state |= QStyle::State_Raised;
            tool.activeSubControls = QStyle::SC_ToolButton;
        }
        style->drawComplexControl(QStyle::CC_ToolButton, &tool, painter, option.widget);
    }
}
