#include "ui/scripts/ScriptStyle.h"

#include "app/AppFont.h"

#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QWidget>

QFont ScriptStyle::font(int size, QFont::Weight weight)
{
    return AppFont::font(size, weight);
}

QColor ScriptStyle::label(const QPalette &palette)
{
    return palette.color(QPalette::Text);
}

QColor ScriptStyle::secondaryLabel(const QPalette &palette)
{
    QColor color = palette.color(QPalette::Text);
    color.setAlphaF(0.55f);
    return color;
}

QColor ScriptStyle::separator(const QPalette &palette)
{
    QColor color = palette.color(QPalette::Text);
    color.setAlphaF(0.15f);
    return color;
}

QPixmap ScriptStyle::tinted(const QIcon &icon, int pixelSize, const QColor &color, const QWidget *widget)
{
    const qreal ratio = widget ? widget->devicePixelRatioF() : 1.0;
    QPixmap pixmap = icon.pixmap(QSize(pixelSize, pixelSize), ratio);
    if (pixmap.isNull()) {
        return pixmap;
    }
    const QSize wanted = QSize(pixelSize, pixelSize) * ratio;
    if (pixmap.width() < wanted.width() && pixmap.height() < wanted.height()) {
        // A drawn fallback comes in one small size only.
        pixmap = pixmap.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
    }
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), color);
    painter.end();
    return pixmap;
}
