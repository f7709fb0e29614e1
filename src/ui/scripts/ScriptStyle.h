#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>

class QIcon;
class QPalette;
class QWidget;

// Fonts and colours shared by the script screens: the platform roles the
// screens are drawn in (secondary label, separator, control background) and
// a Chinese UI font with simplified-Chinese glyph shapes.
class ScriptStyle {
public:
    // Sizes are the design's points, which are logical pixels: a 13-point
    // body text here is as large as the desktop's usual 10 pt font.
    static QFont font(int size, QFont::Weight weight = QFont::Normal);

    static QColor label(const QPalette &palette);
    static QColor secondaryLabel(const QPalette &palette);
    static QColor separator(const QPalette &palette);
    // The control background is the palette's Base role (setBackgroundRole).

    // An icon drawn in one colour at `pixelSize` logical pixels, sharp on `widget`'s screen.
    static QPixmap tinted(const QIcon &icon, int pixelSize, const QColor &color, const QWidget *widget);
};
