#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>

class QWidget;

// The colours every screen shares, derived from the palette so that a dark
// desktop theme carries over, and the one way to draw a symbol in a colour.
// Fonts come from AppFont::pixelFont.
class UiStyle {
public:
    // Strengths of text on its background: secondary lines (paths, previews,
    // hints), the faint dates below them, and hairline separators.
    static constexpr float secondaryAlpha = 0.55f;
    static constexpr float tertiaryAlpha = 0.55f * 0.7f;
    static constexpr float separatorAlpha = 0.15f;

    // `textRole` is the role text takes on the background at hand: WindowText
    // on a window, Text on a list or another Base background.
    static QColor label(const QPalette &palette, QPalette::ColorRole textRole = QPalette::Text);
    static QColor secondaryText(const QPalette &palette, QPalette::ColorRole textRole = QPalette::WindowText);
    static QColor tertiaryText(const QPalette &palette, QPalette::ColorRole textRole = QPalette::WindowText);
    static QColor separator(const QPalette &palette, QPalette::ColorRole textRole = QPalette::WindowText);
    static QColor controlBackground(const QPalette &palette);
    // Entries and buttons that delete.
    static QColor destructive();

    // Makes a label's text secondary whatever background its parent paints.
    static void useSecondaryText(QWidget *widget);

    // `icon` in one flat colour at `pixels` logical pixels, keeping its shape.
    // A drawn fallback that comes in one small size is scaled up to fit.
    static QPixmap tinted(const QIcon &icon, int pixels, const QColor &color, qreal devicePixelRatio);
    // The same for both usual screen densities, for a button's icon.
    static QIcon tintedIcon(const QIcon &icon, int pixels, const QColor &color);
};
