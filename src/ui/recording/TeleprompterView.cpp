#include "ui/recording/TeleprompterView.h"

#include "ui/recording/FrameSyncedRepaint.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterFonts.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

TeleprompterView::TeleprompterView(RecordingViewState *state, QWidget *parent) : QWidget(parent), m_state(state)
{
    // Over the live picture: nothing of ours but the box colour and the text.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("提词器文本"));

    applyText();
    applyFont();
    applySpacing();
    connect(m_state, &RecordingViewState::teleprompterTextChanged, this, &TeleprompterView::applyText);
    connect(m_state, &RecordingViewState::selectedFontChanged, this, &TeleprompterView::applyFont);
    connect(m_state, &RecordingViewState::teleprompterFontSizeChanged, this, &TeleprompterView::applyFont);
    connect(m_state, &RecordingViewState::lineSpacingChanged, this, &TeleprompterView::applySpacing);
    connect(m_state, &RecordingViewState::isTeleprompterDarkModeChanged, this, qOverload<>(&QWidget::update));
    connect(m_state, &RecordingViewState::scrollOffsetChanged, this, &TeleprompterView::onOffsetChanged);
}

QColor TeleprompterView::textColour(bool isDarkMode)
{
    return isDarkMode ? QColor(Qt::white) : QColor(Qt::black);
}

QColor TeleprompterView::boxColour(bool isDarkMode)
{
    return isDarkMode ? QColor::fromRgbF(0, 0, 0, 0.25) : QColor::fromRgbF(1, 1, 1, 0.3);
}

void TeleprompterView::setCornerRadius(double radius)
{
    m_cornerRadius = std::max(radius, 0.0);
    update();
}

void TeleprompterView::setMirrored(bool mirrored)
{
    if (m_isMirrored != mirrored) {
        m_isMirrored = mirrored;
        update();
    }
}

void TeleprompterView::setRepaintSync(FrameSyncedRepaint *sync)
{
    m_sync = sync;
}

QSize TeleprompterView::sizeHint() const
{
    return {400, 240};
}

void TeleprompterView::applyText()
{
    m_layout.setText(m_state->teleprompterText());
    update();
}

void TeleprompterView::applyFont()
{
    m_layout.setFont(TeleprompterFonts::font(m_state->selectedFont(), m_state->teleprompterFontSize()));
    update();
}

void TeleprompterView::applySpacing()
{
    m_layout.setLineSpacing(m_state->lineSpacing());
    update();
}

void TeleprompterView::onOffsetChanged()
{
    // Most ticks move the text by less than a pixel, and at the end of the
    // text none at all: only a change of the painted position repaints.
    if (isVisible() && !rect().isEmpty() && paintedPosition() != m_lastPaintedPosition) {
        if (m_sync) {
            m_sync->requestRepaint(this);
        } else {
            update();
        }
    }
}

void TeleprompterView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_layout.setWidth(width());
}

void TeleprompterView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ApplicationFontChange) {
        // The system choice follows the UI font.
        applyFont();
    }
}

const TeleprompterLayout &TeleprompterView::textLayout()
{
    m_layout.setWidth(width());
    m_layout.ensureLaidOut();
    return m_layout;
}

double TeleprompterView::contentHeight()
{
    return textLayout().height();
}

double TeleprompterView::maximumOffset()
{
    return std::max(contentHeight() - height(), 0.0);
}

double TeleprompterView::scrollPosition()
{
    const double furthest = maximumOffset();
    const double offset = m_state->scrollOffset();
    if (!std::isfinite(offset) || offset <= 0) {
        return 0;
    }
    return std::min(furthest, offset);
}

double TeleprompterView::paintedPosition()
{
    const double ratio = devicePixelRatioF();
    return std::round(scrollPosition() * ratio) / ratio;
}

void TeleprompterView::paintEvent(QPaintEvent *event)
{
    const bool isDarkMode = m_state->isTeleprompterDarkMode();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(boxColour(isDarkMode));
    painter.drawRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);

    textLayout();
    const double position = paintedPosition();
    m_lastPaintedPosition = position;
    const QRect dirty = event->rect() & rect();
    painter.setClipRect(dirty, Qt::IntersectClip);
    if (m_isMirrored) {
        painter.translate(width(), 0);
        painter.scale(-1, 1);
    }
    painter.translate(0, -position);
    painter.setPen(textColour(isDarkMode));
    m_lastDrawnLineCount = m_layout.draw(&painter, position + dirty.top(), position + dirty.bottom() + 1);
}
