#include "ui/recording/PulsingDot.h"

#include "ui/recording/FrameSyncedRepaint.h"

#include <QEasingCurve>
#include <QEvent>
#include <QGraphicsEffect>
#include <QPainter>
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

// Draws the content at the pulse's opacity, as an opacity effect does; but a
// new opacity asks for no repaint by itself, so the pulse can wait for the
// next camera frame to show it.
class PulsingDot::Effect : public QGraphicsEffect {
public:
    using QGraphicsEffect::QGraphicsEffect;

    double opacity = 1.0;

protected:
    void draw(QPainter *painter) override
    {
        if (opacity < 0.001) {
            return;
        }
        if (opacity >= 1.0) {
            drawSource(painter);
            return;
        }
        QPoint offset;
        const QPixmap pixmap = sourcePixmap(Qt::DeviceCoordinates, &offset, QGraphicsEffect::NoPad);
        if (pixmap.isNull()) {
            return;
        }
        painter->save();
        painter->setOpacity(opacity);
        painter->setWorldTransform(QTransform());
        painter->drawPixmap(offset, pixmap);
        painter->restore();
    }
};

PulsingDot::PulsingDot(QWidget *content)
    : QObject(content), m_content(content), m_effect(new Effect(content)), m_animation(new QVariantAnimation(this))
{
    content->setGraphicsEffect(m_effect);
    QEasingCurve curve;
    curve.setCustomType(&thereAndBack);
    m_animation->setEasingCurve(curve);
    m_animation->setStartValue(1.0);
    m_animation->setEndValue(dimmedOpacity);
    m_animation->setDuration(2 * halfPeriodMs);
    m_animation->setLoopCount(-1);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
        [this](const QVariant &value) { setOpacity(value.toDouble()); });
    content->installEventFilter(this);
    if (content->isVisible()) {
        setPulsing(true);
    }
}

double PulsingDot::opacity() const
{
    return m_effect->opacity;
}

void PulsingDot::setRepaintSync(FrameSyncedRepaint *sync)
{
    m_sync = sync;
}

void PulsingDot::setOpacity(double opacity)
{
    if (opacity == m_effect->opacity) {
        return;
    }
    m_effect->opacity = opacity;
    if (m_sync) {
        m_sync->requestRepaint(m_content);
    } else {
        m_content->update();
    }
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
        setOpacity(1.0);
    }
}
