#include "ui/recording/MicrophoneLevelMeter.h"

#include "capture/MicrophoneLevelMonitor.h"
#include "ui/common/AppFont.h"
#include "ui/common/UiStyle.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
constexpr int meterWidth = 84;
constexpr int meterHeight = 18;
constexpr int barHeight = 6;
const QColor levelGreen(52, 168, 83);
const QColor warningRed(220, 38, 38);

// Sized like the meter, drawing nothing.
class Counterweight : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {meterWidth, meterHeight}; }
    QSize minimumSizeHint() const override { return {0, 0}; }
};
} // namespace

MicrophoneLevelMeter::MicrophoneLevelMeter(MicrophoneLevelMonitor *monitor, QWidget *parent)
    : QWidget(parent), m_monitor(monitor)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(AppFont::pixelFont(11, QFont::Medium));
    setAccessibleName(QStringLiteral("麦克风音量"));
    setToolTip(QStringLiteral("麦克风音量"));
    if (monitor) {
        connect(monitor, &MicrophoneLevelMonitor::levelChanged, this, &MicrophoneLevelMeter::refresh);
        connect(monitor, &MicrophoneLevelMonitor::isSilentChanged, this, &MicrophoneLevelMeter::refresh);
    }
    refresh();
}

QWidget *MicrophoneLevelMeter::makeCounterweight(QWidget *parent)
{
    return new Counterweight(parent);
}

double MicrophoneLevelMeter::fraction(double db)
{
    if (!(db > floorDb)) {
        return 0.0;
    }
    return std::min(1.0, (db - floorDb) / -floorDb);
}

double MicrophoneLevelMeter::filledFraction() const
{
    return m_monitor ? fraction(m_monitor->rmsDb()) : 0.0;
}

bool MicrophoneLevelMeter::isClipping() const
{
    return m_monitor && m_monitor->peakDb() >= clippingDb;
}

bool MicrophoneLevelMeter::showsSilence() const
{
    return m_monitor && m_monitor->isSilent();
}

QString MicrophoneLevelMeter::levelText() const
{
    if (showsSilence()) {
        return QStringLiteral("无声音");
    }
    const double db = m_monitor ? m_monitor->rmsDb() : -INFINITY;
    if (!(db > floorDb)) {
        return QStringLiteral("静音");
    }
    // Whole decibels: finer steps would only make screen readers chatter.
    return QStringLiteral("%1 dB").arg(int(std::lround(db)));
}

QSize MicrophoneLevelMeter::sizeHint() const
{
    return {meterWidth, meterHeight};
}

QSize MicrophoneLevelMeter::minimumSizeHint() const
{
    return sizeHint();
}

void MicrophoneLevelMeter::refresh()
{
    const QString text = levelText();
    if (accessibleDescription() != text) {
        setAccessibleDescription(text);
    }
    update();
}

void MicrophoneLevelMeter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (showsSilence()) {
        painter.setPen(warningRed);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("无声音"));
        return;
    }
    const QRectF track(0.5, (height() - barHeight) / 2.0, width() - 1.0, barHeight);
    QColor trackColor = UiStyle::secondaryText(palette());
    trackColor.setAlphaF(0.25f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, barHeight / 2.0, barHeight / 2.0);

    const QColor fill = isClipping() ? warningRed : levelGreen;
    const double filled = filledFraction();
    if (filled > 0) {
        QPainterPath clip;
        clip.addRoundedRect(track, barHeight / 2.0, barHeight / 2.0);
        painter.setClipPath(clip);
        painter.setBrush(fill);
        painter.drawRect(QRectF(track.left(), track.top(), track.width() * filled, track.height()));
        painter.setClipping(false);
    }
    const double peak = m_monitor ? fraction(m_monitor->peakDb()) : 0.0;
    if (peak > 0) {
        const double x = track.left() + std::max(1.0, track.width() * peak - 1.0);
        painter.setBrush(fill.darker(130));
        painter.drawRect(QRectF(x - 1.0, track.top() - 2.0, 2.0, track.height() + 4.0));
    }
}
