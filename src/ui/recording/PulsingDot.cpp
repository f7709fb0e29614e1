#include "ui/recording/PulsingDot.h"

#include <QEasingCurve>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QVariantAnimation>
#include <QWidget>

namespace {
// One loop is there and back: the ease-in-out curve forward over the first
// half, mirrored over the second.
qreal thereAndBack(qreal progress)
{
    static const QEasingCurve easeInOut = [] {
        QEasingCurve curve(QEasingCurve::BezierSpline);
        curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
        return curve;
    }();
    return progress < 0.5 ? easeInOut.valueForProgress(progress * 2) : easeInOut.valueForProgress(2 - progress * 2);
}
} // namespace

PulsingDot::PulsingDot(QWidget *content)
    : QObject(content), m_content(content), m_effect(new QGraphicsOpacityEffect(content)),
      m_animation(new QVariantAnimation(this))
{
    m_effect->setOpacity(1.0);
    content->setGraphicsEffect(m_effect);
    QEasingCurve curve;
    curve.setCustomType(&thereAndBack);
    m_animation->setEasingCurve(curve);
    m_animation->setStartValue(1.0);
    m_animation->setEndValue(dimmedOpacity);
    m_animation->setDuration(2 * halfPeriodMs);
    m_animation->setLoopCount(-1);
    connect(m_animation, &QVariantAnimation::valueChanged, m_effect,
        [this](const QVariant &value) { m_effect->setOpacity(value.toDouble()); });
    content->installEventFilter(this);
    if (content->isVisible()) {
        setPulsing(true);
    }
}

double PulsingDot::opacity() const
{
    return m_effect->opacity();
}

bool PulsingDot::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content) {
        if (event->type() == QEvent::Show) {
            setPulsing(true);
        } else if (event->type() == QEvent::Hide) {
            setPulsing(false);
        }
    }
    return QObject::eventFilter(watched, event);
}

void PulsingDot::setPulsing(bool pulsing)
{
    if (pulsing == m_isPulsing) {
        return;
    }
    m_isPulsing = pulsing;
    if (pulsing) {
        m_animation->start();
    } else {
        m_animation->stop();
        m_effect->setOpacity(1.0);
    }
}
