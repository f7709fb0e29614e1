#include "ui/videos/VideoRow.h"

#include "library/VideoRecord.h"
#include "ui/common/AppFont.h"
#include "ui/common/SymbolIcon.h"
#include "ui/common/TextElision.h"
#include "ui/common/UiStyle.h"
#include "ui/videos/VideoListModel.h"
#include "ui/videos/VideoListStyle.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

using Style = VideoListStyle;

VideoRow::VideoRow(QObject *parent)
    : QStyledItemDelegate(parent), m_nameFont(AppFont::pixelFont(14, QFont::Medium)),
      m_detailFont(AppFont::pixelFont(11))
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
        painter->setPen(UiStyle::separator(palette));
        const int y = option.rect.bottom();
        painter->drawLine(option.rect.left() + Style::rowInset, y, option.rect.right() - Style::rowInset, y);
    }
    paintThumbnail(painter, parts.thumbnail, index.data(VideoListModel::ThumbnailRole).value<QImage>(), palette);
    paintText(painter, parts.text, index, palette);
    painter->restore();
    const VideoRowButtons::Button pressed = index == m_pressedRow ? m_pressed : VideoRowButtons::none;
    VideoRowButtons::paint(painter, option, hoveredButton(index), pressed, buttonIcons(palette));
    if (m_showsFocus && option.state.testFlag(QStyle::State_HasFocus)) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(palette.color(QPalette::Highlight), 2));
        const int inset = Style::rowInset / 2;
        painter->drawRoundedRect(QRectF(option.rect).adjusted(inset + 1, 2, -inset - 1, -2), 6, 6);
        painter->restore();
    }
}

const QIcon *VideoRow::buttonIcons(const QPalette &palette) const
{
    QColor color = palette.color(QPalette::ButtonText);
    color.setAlphaF(0.75f);
    if (color != m_buttonIconColor || m_buttonIcons[0].isNull()) {
        m_buttonIconColor = color;
        for (VideoRowButtons::Button button : {VideoRowButtons::play, VideoRowButtons::reveal}) {
            m_buttonIcons[button] = UiStyle::tintedIcon(
                SymbolIcon::icon(VideoRowButtons::symbolName(button)), Style::buttonIconSize, color);
        }
    }
    return m_buttonIcons;
}

void VideoRow::setHovered(const QModelIndex &index, VideoRowButtons::Button button)
{
    m_hoveredRow = index;
    m_hovered = index.isValid() ? button : VideoRowButtons::none;
}

VideoRowButtons::Button VideoRow::hoveredButton(const QModelIndex &index) const
{
    return index.isValid() && index == m_hoveredRow ? m_hovered : VideoRowButtons::none;
}

QModelIndex VideoRow::cancelPress()
{
    const QModelIndex row = m_pressedRow;
    m_pressed = VideoRowButtons::none;
    m_pressedRow = QPersistentModelIndex();
    return row;
}

bool VideoRow::editorEvent(
    QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const VideoRowButtons::Button under = VideoRowButtons::at(option.rect, mouse->position().toPoint());
    if (type == QEvent::MouseButtonRelease) {
        const VideoRowButtons::Button pressed = m_pressed;
        const bool onThePressedRow = cancelPress() == index;
        if (pressed != VideoRowButtons::none && under == pressed && onThePressedRow) {
            Q_EMIT buttonClicked(index, pressed);
        }
        return pressed != VideoRowButtons::none;
    }
    if (under == VideoRowButtons::none || mouse->button() != Qt::LeftButton) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    // A double click is a second press: it clicks once more, as a tool button does.
    m_pressed = under;
    m_pressedRow = index;
    return true;
}

bool VideoRow::helpEvent(
    QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const VideoRowButtons::Button under = VideoRowButtons::at(option.rect, event->pos());
    if (event->type() == QEvent::ToolTip && under != VideoRowButtons::none) {
        QToolTip::showText(event->globalPos(), VideoRowButtons::text(under), view->viewport(),
            VideoRowButtons::rect(option.rect, under));
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
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
    const QPixmap icon = placeholder(painter->device()->devicePixelRatioF(), UiStyle::secondaryText(palette));
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
        TextElision::line(video.fileName, nameMetrics, Qt::ElideRight, area.width()));
    y += nameMetrics.height() + Style::lineSpacing;

    painter->setFont(m_detailFont);
    painter->setPen(UiStyle::secondaryText(palette));
    painter->drawText(QRect(area.left(), y, area.width(), detailMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        TextElision::path(video.filePath, detailMetrics, area.width()));
    y += detailMetrics.height() + Style::lineSpacing;

    painter->setPen(UiStyle::tertiaryText(palette));
    painter->drawText(QRect(area.left(), y, area.width(), detailMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
        TextElision::line(m_dates.text(video.createdAt), detailMetrics, Qt::ElideRight, area.width()));
}

QPixmap VideoRow::placeholder(double devicePixelRatio, const QColor &color) const
{
    const QString key = QString::number(devicePixelRatio) + QLatin1Char('/') + color.name(QColor::HexArgb);
    if (const auto found = m_placeholders.constFind(key); found != m_placeholders.constEnd()) {
        return *found;
    }
    const QPixmap tinted = UiStyle::tinted(
        SymbolIcon::icon(QStringLiteral("video.fill")), Style::placeholderIconSize, color, devicePixelRatio);
    m_placeholders.insert(key, tinted);
    return tinted;
}
