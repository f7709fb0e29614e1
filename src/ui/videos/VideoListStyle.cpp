#include "ui/videos/VideoListStyle.h"

#include <QPainter>
#include <QWidget>

QPixmap VideoListStyle::tinted(const QIcon &icon, int size, double devicePixelRatio, const QColor &color)
{
    const QPixmap source = icon.pixmap(QSize(size, size), devicePixelRatio);
    QPixmap pixmap(source.size());
    pixmap.setDevicePixelRatio(source.devicePixelRatio());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 0, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), color);
    return pixmap;
}

QIcon VideoListStyle::tintedIcon(const QIcon &icon, int size, const QColor &color)
{
    QIcon result;
    for (double ratio : {1.0, 2.0}) {
        result.addPixmap(tinted(icon, size, ratio, color));
    }
    return result;
}

void VideoListStyle::useSecondaryText(QWidget *widget)
{
    QPalette palette = widget->palette();
    const QColor color = secondaryLabel(palette);
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}
