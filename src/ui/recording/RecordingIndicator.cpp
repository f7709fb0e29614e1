#include "ui/recording/RecordingIndicator.h"

#include "ui/common/AppFont.h"
#include "ui/recording/PulsingDot.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int dotPoints = 14;

QPixmap redDot(qreal pixelRatio)
{
    QPixmap pixmap(QSize(dotPoints, dotPoints) * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(Qt::red));
    painter.drawEllipse(QRectF(0, 0, dotPoints, dotPoints));
    return pixmap;
}

// As wide as the text with its widest digit in every place: the figures are
// proportional, and the badge must not twitch every second.
int steadyWidth(const QFontMetrics &metrics, const QString &text)
{
    int widest = 0;
    for (char digit = '0'; digit <= '9'; ++digit) {
        QString sample = text;
        for (QChar &c : sample) {
            if (c.isDigit()) {
                c = QLatin1Char(digit);
            }
        }
        widest = std::max(widest, metrics.horizontalAdvance(sample));
    }
    return widest + 1;
}
} // namespace

RecordingIndicator::RecordingIndicator(QWidget *parent)
    : QWidget(parent), m_dot(new QLabel(this)), m_label(new QLabel(QStringLiteral("录制中"), this)),
      m_elapsed(new QLabel(QStringLiteral("00:00"), this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(QStringLiteral("录制中"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 8, 14, 8);
    layout->setSpacing(10);
    m_dot->setFixedSize(dotPoints, dotPoints);
    m_dot->setPixmap(redDot(devicePixelRatioF()));
    m_dot->setAccessibleName(QStringLiteral("录制指示灯"));
    m_label->setFont(AppFont::pixelFont(15, QFont::DemiBold));
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_label->setPalette(palette);
    layout->addWidget(m_dot, 0, Qt::AlignVCenter);
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    m_elapsed->setFont(AppFont::pixelFont(15, QFont::DemiBold));
    m_elapsed->setPalette(palette);
    m_elapsed->setFixedWidth(steadyWidth(m_elapsed->fontMetrics(), m_elapsed->text()));
    layout->addWidget(m_elapsed, 0, Qt::AlignVCenter);
    m_pulse = new PulsingDot(m_dot);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void RecordingIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath pill;
    const QRectF bounds(rect());
    const qreal radius = std::min<qreal>(22, bounds.height() / 2);
    pill.addRoundedRect(bounds, radius, radius);
    painter.fillPath(pill, QColor::fromRgbF(0, 0, 0, 0.65));
}

void RecordingIndicator::setElapsedText(const QString &text)
{
    if (text == m_elapsed->text()) {
        return;
    }
    m_elapsed->setText(text);
    m_elapsed->setFixedWidth(steadyWidth(m_elapsed->fontMetrics(), text));
    // Past an hour the badge grows to the left, away from the corner.
    const QSize hint = sizeHint();
    if (hint != size() && !geometry().isEmpty()) {
        const int right = geometry().right();
        setGeometry(right + 1 - hint.width(), y(), hint.width(), hint.height());
    }
}
