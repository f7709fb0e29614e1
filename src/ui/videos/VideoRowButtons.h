#pragma once

#include <QIcon>
#include <QRect>
#include <QString>

class QPainter;
class QStyleOptionViewItem;

// The play and reveal buttons at the right end of a video row. They are
// painted by the row's delegate and hit-tested against the row's rectangle
// at the moment of the event, so a button always acts for the row it is
// drawn on, whatever was deleted or inserted above it.
class VideoRowButtons {
public:
    enum Button { none = -1, play = 0, reveal = 1 };
    static constexpr int count = 2;

    static QString playText() { return QStringLiteral("播放视频"); }
    static QString revealText() { return QStringLiteral("在文件管理器中显示"); }
    static QString text(Button button);
    static QString symbolName(Button button);

    static QRect rect(const QRect &rowRect, Button button);
    // The button under `position`, or `none`.
    static Button at(const QRect &rowRect, const QPoint &position);

    // Both buttons as borderless tool buttons, the hovered one raised and the
    // pressed one sunk, each with its icon from `icons` (`count` of them, by Button).
    static void paint(
        QPainter *painter, const QStyleOptionViewItem &option, Button hovered, Button pressed, const QIcon *icons);
};
