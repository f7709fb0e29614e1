#pragma once

#include <QFont>
#include <QStringList>

// The interface's typeface. Without a preferred family the Han fallback
// follows fontconfig, which picks Japanese glyph shapes on a machine without
// a Chinese locale.
class AppFont {
public:
    // Sans-serif faces with simplified-Chinese glyph shapes, best first: the
    // one list both the interface and the teleprompter take Han characters from.
    static QStringList chineseSansFamilies();
    // The interface's families: the Chinese faces, then the desktop's default.
    static QStringList families();
    // The interface font at `pixelSize` logical pixels (not typographic points:
    // 13 here is as large as the desktop's usual 10 pt body text).
    static QFont pixelFont(int pixelSize, QFont::Weight weight = QFont::Normal);
    // Makes the interface font the application's default, size kept.
    static void applyToApplication();
};
