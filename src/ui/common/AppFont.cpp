#include "ui/common/AppFont.h"

#include <QApplication>

QStringList AppFont::chineseSansFamilies()
{
    return {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
        QStringLiteral("Source Han Sans CN"), QStringLiteral("WenQuanYi Zen Hei"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback")};
}

QStringList AppFont::families()
{
    return chineseSansFamilies() << QFont().defaultFamily();
}

QFont AppFont::pixelFont(int pixelSize, QFont::Weight weight)
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
