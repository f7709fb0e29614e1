#include "app/AppFont.h"

#include <QApplication>

QStringList AppFont::families()
{
    return {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback"), QFont().defaultFamily()};
}

QFont AppFont::font(int pixelSize, QFont::Weight weight)
{
    QFont font;
    font.setFamilies(families());
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

void AppFont::applyToApplication()
{
    QFont font = QApplication::font();
    font.setFamilies(families());
    QApplication::setFont(font);
}
