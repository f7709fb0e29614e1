#include "ui/videos/VideoRow.h"

#include "app/SymbolIcon.h"
#include "library/VideoRecord.h"
#include "ui/videos/VideoListModel.h"
#include "ui/videos/VideoListStyle.h"
#include "ui/videos/VideoRowText.h"

#include <QPainter>
#include <QPainterPath>

using Style = VideoListStyle;

VideoRow::VideoRow(QObject *parent)
    : QStyledItemDelegate(parent), m_nameFont(Style::font(14, QFont::Medium)), m_detailFont(Style::font(11))
{
}

VideoRow::Geometry VideoRow::geometry(const QRect &rowRect)
{
    const int vertical = Style::rowPadding + Style::rowExtraVerticalSpace;
    const QRect content = rowRect.adjusted(Style::rowInset, vertical, -Style::rowInset, -vertical);
    Geometry geometry;
    geometry.thumbnail = QRect(
        QPoint(content.left(), content.center().y() - Style::thumbnailSize.height() / 2 + 1), Style::thumbnailSize);
    const QSize buttons(2 * Style::buttonSize + Style::buttonSpacing, Style::buttonSize);
    geometry.buttons = QRect(
        QPoint(content.right() + 1 - buttons.width(), content.center().y() - buttons.height() / 2 + 1), buttons);
    const int textLeft = geometry.thumbnail.right() + 1 + Style::itemSpacing;
    const int textRight = geometry.buttons.left() - Style::itemSpacing;
    geometry.text = QRect(textLeft, content.top(), std::max(0, textRight - textLeft), content.height());
    return geometry;
}

QSize VideoRow::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    const int minimumText = 160;
    return QSize(2 * Style::rowInset + Style::thumbnailSize.width() + 2 * Style::itemSpacing + minimumText
            + 2 * Style::buttonSize + Style::buttonSpacing,
        Style::rowHeight());
}

void VideoRow::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Geometry parts = geometry(option.rect);
    const QPalette &palette = option.palette;
    painter->save();
    if (index.row() + 1 < index.model()->rowCount()) {
        QColor line = palette.color(QPalette::WindowText);
        line.setAlphaF(0.1f);
        painter->setPen(line);
        const int y = option.rect.bottom();
        painter->drawLine(option.rect.left() + Style::rowInset, y, option.rect.right() - Style::rowInset, y);
    }
    paintThumbnail(painter, parts.thumbnail, index.data(VideoListModel::ThumbnailRole).value<QImage>(), palette);
    paintText(painter, parts.text, index, palette);
    painter->restore();
}

void VideoRow::paintThumbnail(QPainter *painter, const QRect &box, const QImage &image, const QPalette &palette) const
{
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(box), Style::thumbnailCornerRadius, Style::thumbnailCornerRadius);
    painter->fillPath(rounded, QColor(0, 0, 0, 26));
    if (!image.isNull()) {
        // Already scaled to fill the box and cut to its rounded shape.
        painter->drawImage(box.topLeft(), image);
        return;
    }
    const QPixmap icon = placeholder(painter->device()->devicePixelRatioF(), Style::secondaryLabel(palette));
    const QSizeF iconSize = QSizeF(icon.size()) / icon.devicePixelRatio();
    painter->drawPixmap(
        QPointF(box.center().x() + 1 - iconSize.width() / 2.0, box.center().y() + 1 - iconSize.height() / 2.0), icon);
}

void VideoRow::paintText(QPainter *painter, const QRect &area, const QModelIndex &index, const QPalette &palette) const
{
    if (area.width() <= 0) {
        return;
    }
    const VideoRecord video = index.data(VideoListModel::VideoRole).value<VideoRecord>();
    const QFontMetrics nameMetrics(m_nameFont);
    const QFontMetrics detailMetrics(m_detailFont);
    const int total = nameMetrics.height() + 2 * (Style::lineSpacing + detailMetrics.height());
    int y = area.top() + (area.height() - total) / 2;

    painter->setFont(m_nameFont);
    painter->setPen(palette.color(QPalette::Text));
    painter->drawText(QRect(area.left(), y, area.width(), nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        nameMetrics.elidedText(video.fileName, Qt::ElideRight, area.width()));
    y += nameMetrics.height() + Style::lineSpacing;

    painter->setFont(m_detailFont);
    painter->setPen(Style::secondaryLabel(palette));
    painter->drawText(QRect(area.left(), y, area.width(), detailMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        VideoRowText::elidedPath(video.filePath, detailMetrics, area.width()));
    y += detailMetrics.height() + Style::lineSpacing;

    painter->setPen(Style::secondaryLabel(palette, 0.7));
    painter->drawText(QRect(area.left(), y, area.width(), detailMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        detailMetrics.elidedText(m_dates.text(video.createdAt), Qt::ElideRight, area.width()));
}

QPixmap VideoRow::placeholder(double devicePixelRatio, const QColor &color) const
{
    const QString key = QString::number(devicePixelRatio) + QLatin1Char('/') + color.name(QColor::HexArgb);
    if (const auto found = m_placeholders.constFind(key); found != m_placeholders.constEnd()) {
        return *found;
    }
    const QPixmap tinted = Style::tinted(
        SymbolIcon::icon(QStringLiteral("video.fill")), Style::placeholderIconSize, devicePixelRatio, color);
    m_placeholders.insert(key, tinted);
    return tinted;
}
