#include "ui/recording/CountdownOverlay.h"

#include "ui/common/AppFont.h"
#include "ui/recording/RecordingCountdown.h"

#include <QEvent>
#include <QPainter>

CountdownOverlay::CountdownOverlay(RecordingCountdown *countdown, QWidget *parent)
    : QWidget(parent), m_countdown(countdown)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("倒计时"));
    // The parent lays out its layers by hand; this one follows its size itself.
    parent->installEventFilter(this);
    setGeometry(parent->rect());
    connect(countdown, &RecordingCountdown::remainingSecondsChanged, this, &CountdownOverlay::refresh);
    refresh();
}

QString CountdownOverlay::shownText() const
{
    return isVisibleTo(parentWidget()) ? QString::number(m_countdown->remainingSeconds()) : QString();
}

void CountdownOverlay::refresh()
{
    const bool counting = m_countdown->isCounting();
    setAccessibleDescription(counting ? QString::number(m_countdown->remainingSeconds()) : QString());
    if (counting) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    setVisible(counting);
    update();
}

bool CountdownOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    }
    return QWidget::eventFilter(watched, event);
}

void CountdownOverlay::paintEvent(QPaintEvent *)
{
    if (!m_countdown->isCounting()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc((width() - discDiameter) / 2.0, (height() - discDiameter) / 2.0, discDiameter, discDiameter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.55));
    painter.drawEllipse(disc);
    painter.setFont(AppFont::pixelFont(96, QFont::Bold));
    painter.setPen(Qt::white);
    painter.drawText(disc, Qt::AlignCenter, QString::number(m_countdown->remainingSeconds()));
}
