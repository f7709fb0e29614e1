#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QSize>

class QWidget;

// Sizes and colours of the video list, in logical pixels.
class VideoListStyle {
public:
    static constexpr QSize thumbnailSize{120, 68};
    static constexpr double thumbnailCornerRadius = 6.0;
    static constexpr int placeholderIconSize = 24;
    static constexpr int itemSpacing = 12;
    static constexpr int rowExtraVerticalSpace = 4;
    static constexpr int rowPadding = 6; // the list's own inset around each row
    static constexpr int rowInset = 16; // left and right, inset list look
    static constexpr int lineSpacing = 4;
    static constexpr int buttonSpacing = 8;
    static constexpr int buttonSize = 28;
    static constexpr int buttonIconSize = 16;

    static constexpr int rowHeight() { return thumbnailSize.height() + 2 * rowExtraVerticalSpace + 2 * rowPadding; }

    static QFont font(int pixelSize, QFont::Weight weight = QFont::Normal)
    {
        QFont font;
        font.setPixelSize(pixelSize);
        font.setWeight(weight);
        return font;
    }

    // The desktop's "secondary label": body text at half strength.
    static QColor secondaryLabel(const QPalette &palette, double opacity = 1.0)
    {
        QColor color = palette.color(QPalette::WindowText);
        color.setAlphaF(float(0.5 * opacity));
        return color;
    }

    // Makes a label's text secondary, whatever background its parent paints
    // (a widget on a Base background draws its text in Text, not WindowText).
    static void useSecondaryText(QWidget *widget);

    // The icon drawn in one flat colour, the way symbol icons are shown.
    static QPixmap tinted(const QIcon &icon, int size, double devicePixelRatio, const QColor &color);
    static QIcon tintedIcon(const QIcon &icon, int size, const QColor &color);
};
