#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

class QWidget;

// Fonts, colours and icons shared by the parts of the recording screen. Sizes
// are in points (logical pixels).
class RecordingStyle {
public:
    // The system font in a CJK family with simplified-Chinese glyph shapes,
    // named explicitly: under a non-Chinese locale the default CJK font may
    // pick Japanese shapes.
    static QFont font(double points, QFont::Weight weight = QFont::Normal);
    static QStringList fontFamilies();

    static QColor secondaryText(const QWidget *widget);
    static QColor controlBackground(const QWidget *widget);
    static QColor separator(const QWidget *widget);

    // A symbol icon drawn in one colour, for a device pixel ratio.
    static QPixmap tintedSymbol(const QString &symbolName, int points, const QColor &color, qreal devicePixelRatio);
};
