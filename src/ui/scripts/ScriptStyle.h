#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>

class QIcon;
class QPalette;
class QWidget;

// Fonts and colours shared by the script screens: the secondary label and
// separator shades derived from the palette, and a Chinese UI font with
// simplified-Chinese glyph shapes. Backgrounds use the palette's Base role.
class ScriptStyle {
public:
    // Sizes are logical pixels, not typographic points: 13 here is as large
    // as the desktop's usual 10 pt body text.
    static QFont font(int size, QFont::Weight weight = QFont::Normal);

    static QColor label(const QPalette &palette);
    static QColor secondaryLabel(const QPalette &palette);
    static QColor separator(const QPalette &palette);

    // An icon drawn in one colour at `pixelSize` logical pixels, sharp on `widget`'s screen.
    static QPixmap tinted(const QIcon &icon, int pixelSize, const QColor &color, const QWidget *widget);
};
