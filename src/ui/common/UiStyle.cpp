#include "ui/common/UiStyle.h"

#include <QPainter>
#include <QWidget>

namespace {
QColor withAlpha(QColor color, float alpha)
{
    color.setAlphaF(alpha);
    return color;
}
} // namespace

QColor UiStyle::label(const QPalette &palette, QPalette::ColorRole textRole)
{
    return palette.color(textRole);
}

QColor UiStyle::secondaryText(const QPalette &palette, QPalette::ColorRole textRole)
{
    return withAlpha(palette.color(textRole), secondaryAlpha);
}

QColor UiStyle::tertiaryText(const QPalette &palette, QPalette::ColorRole textRole)
{
    return withAlpha(palette.color(textRole), tertiaryAlpha);
}

QColor UiStyle::separator(const QPalette &palette, QPalette::ColorRole textRole)
{
    return withAlpha(palette.color(textRole), separatorAlpha);
}

QColor UiStyle::controlBackground(const QPalette &palette)
{
    return palette.color(QPalette::Base);
}

QColor UiStyle::destructive()
{
    return QColor(0xd7, 0x26, 0x1e);
}

void UiStyle::useSecondaryText(QWidget *widget)
{
    QPalette palette = widget->palette();
    const QColor color = secondaryText(palette);
    // A widget on a Base background draws its text in Text, not WindowText.
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QPixmap UiStyle::tinted(const QIcon &icon, int pixels, const QColor &color, qreal devicePixelRatio)
{
    QPixmap source = icon.pixmap(QSize(pixels, pixels), devicePixelRatio);
    if (source.isNull()) {
        return source;
    }
    const QSize wanted = QSize(pixels, pixels) * devicePixelRatio;
    if (source.width() < wanted.width() && source.height() < wanted.height()) {
        source = source.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        source.setDevicePixelRatio(devicePixelRatio);
    }
    // Drawn onto a transparent copy: an icon without an alpha channel would
    // otherwise turn into a filled square.
    QPixmap pixmap(source.size());
    pixmap.setDevicePixelRatio(source.devicePixelRatio());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 0, source);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), color);
    painter.end();
    return pixmap;
}

QIcon UiStyle::tintedIcon(const QIcon &icon, int pixels, const QColor &color)
{
    QIcon result;
    for (qreal ratio : {1.0, 2.0}) {
        result.addPixmap(tinted(icon, pixels, color, ratio));
    }
    return result;
}
