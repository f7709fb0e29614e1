#pragma once

#include <QIcon>
#include <QString>

// Icons are named by symbol names ("video.circle.fill"); this maps them onto
// freedesktop theme icons and draws a plain glyph when the theme has none, so a
// button or tab never ends up without an icon.
class SymbolIcon {
public:
    static QIcon icon(const QString &symbolName);
    static QStringList themeNames(const QString &symbolName);
    static QIcon fallback(const QString &symbolName);
};
