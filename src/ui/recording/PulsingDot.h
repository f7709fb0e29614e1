#pragma once

#include <QObject>
#include <QPointer>

class FrameSyncedRepaint;
class QVariantAnimation;
class QWidget;

// Makes the widget it is applied to fade from full opacity to 0.4 and back,
// ease-in-out, 0.8 s each way, without end, from the moment it comes on
// screen. Hidden, it stops and starts again from full opacity next time.
class PulsingDot : public QObject {
    Q_OBJECT

public:
    static constexpr double dimmedOpacity = 0.4;
    static constexpr int halfPeriodMs = 800;

    // Applies itself to `content`, which owns it.
    explicit PulsingDot(QWidget *content);

    bool isPulsing() const { return m_isPulsing; }
    double opacity() const;
    // The running animation, so tests can set its time.
    QVariantAnimation *animation() const { return m_animation; }
    // Over the live picture: each new opacity is shown with the next frame.
    void setRepaintSync(FrameSyncedRepaint *sync);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setPulsing(bool pulsing);

    void setOpacity(double opacity);

    class Effect;
    QWidget *m_content;
    Effect *m_effect;
    QVariantAnimation *m_animation;
    QPointer<FrameSyncedRepaint> m_sync;
    bool m_isPulsing = false;
};
