#include "ui/recording/RecordingStyle.h"

#include "app/AppFont.h"
#include "app/SymbolIcon.h"

#include <QIcon>
#include <QPainter>
#include <QWidget>

QStringList RecordingStyle::fontFamilies()
{
    return AppFont::families();
}

QFont RecordingStyle::font(double points, QFont::Weight weight)
{
    QFont font;
    font.setFamilies(fontFamilies());
    font.setPixelSize(int(points + 0.5));
    font.setWeight(weight);
    return font;
}

QColor RecordingStyle::secondaryText(const QWidget *widget)
{
    QColor color = widget->palette().color(QPalette::WindowText);
    color.setAlphaF(0.55f);
    return color;
}

QColor RecordingStyle::controlBackground(const QWidget *widget)
{
    return widget->palette().color(QPalette::Base);
}

QColor RecordingStyle::separator(const QWidget *widget)
{
    QColor color = widget->palette().color(QPalette::WindowText);
    color.setAlphaF(0.18f);
    return color;
}

QPixmap RecordingStyle::tintedSymbol(const QString &symbolName, int points, const QColor &color, qreal devicePixelRatio)
{
    QPixmap pixmap = SymbolIcon::icon(symbolName).pixmap(QSize(points, points), devicePixelRatio);
    if (pixmap.isNull()) {
        return pixmap;
    }
    // Keep the icon's shape, take the colour given.
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    return pixmap;
}
