#include "ui/scripts/ScriptStyle.h"

#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QWidget>

QFont ScriptStyle::font(int size, QFont::Weight weight)
{
    QFont font;
    // Without a preferred family the Han fallback follows fontconfig, which
    // picks Japanese glyph shapes on a machine without a Chinese locale.
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
        QStringLiteral("WenQuanYi Micro Hei"), font.defaultFamily()});
    font.setPixelSize(size);
    font.setWeight(weight);
    return font;
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
