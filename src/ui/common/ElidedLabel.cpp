#include "ui/common/ElidedLabel.h"

#include "ui/common/TextElision.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget *parent) : QLabel(parent), m_mode(mode)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setMaximumTextWidth(int points)
{
    m_maximumTextWidth = points;
    updateGeometry();
}

void ElidedLabel::setBadge(const QColor &background, QMargins padding, int cornerRadius)
{
    m_background = background;
    m_padding = padding;
    m_cornerRadius = cornerRadius;
    updateGeometry();
    update();
}

void ElidedLabel::setMinimumCharacters(int count)
{
    m_minimumCharacters = count;
    updateGeometry();
}

int ElidedLabel::textRoom() const
{
    return std::max(0, width() - m_padding.left() - m_padding.right());
}

QString ElidedLabel::displayedText() const
{
    return TextElision::line(text(), fontMetrics(), m_mode, textRoom());
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int textWidth = metrics.horizontalAdvance(text()) + 1;
    if (m_maximumTextWidth > 0) {
        textWidth = std::min(textWidth, m_maximumTextWidth);
    }
    return {textWidth + m_padding.left() + m_padding.right(), metrics.height() + m_padding.top() + m_padding.bottom()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    // A few characters and the ellipsis: never less than something readable.
    const QFontMetrics metrics = fontMetrics();
    const QString kept = text().left(m_minimumCharacters) + QChar(0x2026);
    const int textWidth = std::min(metrics.horizontalAdvance(kept), metrics.horizontalAdvance(text())) + 1;
    return {textWidth + m_padding.left() + m_padding.right(), metrics.height() + m_padding.top() + m_padding.bottom()};
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_background.isValid() && m_background.alpha() > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
        painter.fillPath(path, m_background);
    }
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = rect().marginsRemoved(m_padding);
    painter.drawText(area, Qt::AlignVCenter | (alignment() & Qt::AlignHorizontal_Mask), displayedText());
}

void ElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
}
