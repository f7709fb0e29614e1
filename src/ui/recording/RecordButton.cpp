#include "ui/recording/RecordButton.h"

#include "ui/common/AppFont.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int horizontalPadding = 32;
constexpr int verticalPadding = 10;
constexpr int symbolPoints = 20;
constexpr int symbolGap = 8;
constexpr int cornerRadius = 24;
} // namespace

RecordButton::RecordButton(QWidget *parent) : QPushButton(parent)
{
    setFont(AppFont::pixelFont(16, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Keyboard focus only: a mouse click leaves no focus ring on the pill.
    setFocusPolicy(Qt::TabFocus);
    setRecording(false);
}

void RecordButton::setRecording(bool isRecording)
{
    m_isRecording = isRecording;
    refreshTitle();
}

void RecordButton::setStarting(bool isStarting)
{
    m_isStarting = isStarting;
    refreshTitle();
}

void RecordButton::setCanStart(bool canStart)
{
    m_canStart = canStart;
    refreshTitle();
}

void RecordButton::setCountingDown(bool isCountingDown)
{
    m_isCountingDown = isCountingDown;
    refreshTitle();
}

void RecordButton::refreshTitle()
{
    if (m_isRecording) {
        setText(QStringLiteral("停止录制"));
    } else if (m_isStarting) {
        setText(QStringLiteral("正在开始…"));
    } else if (m_isCountingDown) {
        setText(QStringLiteral("取消录制"));
    } else {
        setText(QStringLiteral("开始录制"));
    }
    setAccessibleName(text());
    // Without a camera only a start is on offer, and it cannot be had.
    setEnabled(m_canStart || m_isRecording || m_isStarting || m_isCountingDown);
    update();
}

QString RecordButton::symbolName() const
{
    if (m_isRecording || m_isStarting) {
        return QStringLiteral("stop.fill");
    }
    return m_isCountingDown ? QStringLiteral("xmark") : QStringLiteral("record.circle");
}

QColor RecordButton::backgroundColor() const
{
    QColor red(Qt::red);
    if (!isEnabled()) {
        return QColor(150, 150, 150);
    }
    if (m_isStarting) {
        red.setAlphaF(0.6f);
    } else if (!m_isRecording) {
        red.setAlphaF(0.85f);
    }
    return red;
}

QSize RecordButton::sizeHint() const
{
    // Wide enough for either title, so the button keeps its place when it flips.
    const QFontMetrics metrics = fontMetrics();
    const int title = std::max({metrics.horizontalAdvance(QStringLiteral("开始录制")),
        metrics.horizontalAdvance(QStringLiteral("停止录制")), metrics.horizontalAdvance(QStringLiteral("取消录制")),
        metrics.horizontalAdvance(QStringLiteral("正在开始…"))});
    const int content = std::max(symbolPoints + 4, metrics.height());
    return {2 * horizontalPadding + symbolPoints + symbolGap + title + 1, 2 * verticalPadding + content};
}

QSize RecordButton::minimumSizeHint() const
{
    return sizeHint();
}

void RecordButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath pill;
    const QRectF bounds = QRectF(rect());
    const qreal radius = std::min<qreal>(cornerRadius, bounds.height() / 2);
    pill.addRoundedRect(bounds, radius, radius);
    QColor fill = backgroundColor();
    if (isDown()) {
        fill = fill.darker(115);
    }
    painter.fillPath(pill, fill);
    if (hasFocus()) {
        QPainterPath ring;
        ring.addRoundedRect(bounds.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1.5, radius - 1.5);
        painter.strokePath(ring, QPen(QColor(255, 255, 255, 170), 2));
    }

    const QFontMetrics metrics = fontMetrics();
    const int titleWidth = metrics.horizontalAdvance(text());
    const qreal contentWidth = symbolPoints + symbolGap + titleWidth;
    const qreal left = (bounds.width() - contentWidth) / 2;
    const QRectF symbolBox(left, (bounds.height() - symbolPoints) / 2, symbolPoints, symbolPoints);
    paintSymbol(painter, symbolBox);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(symbolBox.right() + symbolGap, 0, titleWidth + 1, bounds.height()),
        Qt::AlignLeft | Qt::AlignVCenter, text());
}

void RecordButton::paintSymbol(QPainter &painter, const QRectF &box) const
{
    // Drawn, not taken from the icon theme: the symbol must be white on red.
    painter.save();
    if (m_isCountingDown && !m_isRecording && !m_isStarting) {
        const QRectF cross = box.adjusted(4, 4, -4, -4);
        painter.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
    } else if (m_isRecording || m_isStarting) {
        const QRectF square = box.adjusted(3, 3, -3, -3);
        QPainterPath path;
        path.addRoundedRect(square, 2.5, 2.5);
        painter.fillPath(path, Qt::white);
    } else {
        painter.setPen(QPen(Qt::white, 1.8));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(box.adjusted(1.5, 1.5, -1.5, -1.5));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(box.center(), box.width() * 0.24, box.height() * 0.24);
    }
    painter.restore();
}
