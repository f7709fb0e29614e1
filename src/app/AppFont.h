#pragma once

#include <QFont>
#include <QStringList>

// The interface's typeface. Without a preferred family the Han fallback
// follows fontconfig, which picks Japanese glyph shapes on a machine without
// a Chinese locale.
class AppFont {
public:
    static QStringList families();
    // The interface font at `pixelSize` logical pixels.
    static QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);
    // Makes the interface font the application's default, size kept.
    static void applyToApplication();
};
