#pragma once

#include <QPointer>
#include <QWidget>

class MicrophoneLevelMonitor;

// A slim bar of the recording microphone's loudness: the average level
// filled, the peak as a tick, red near clipping, and "无声音" once a take has
// heard nothing for a while.
class MicrophoneLevelMeter : public QWidget {
    Q_OBJECT

public:
    static constexpr double floorDb = -60.0; // the bar's empty end
    static constexpr double clippingDb = -1.0; // peaks from here on turn the bar red

    explicit MicrophoneLevelMeter(MicrophoneLevelMonitor *monitor, QWidget *parent = nullptr);

    // An empty widget as wide as the meter, for the other side of a row whose
    // middle must stay where it was without the meter.
    static QWidget *makeCounterweight(QWidget *parent);

    // 0 (empty) to 1 (full scale), as drawn.
    static double fraction(double db);
    double filledFraction() const;
    bool isClipping() const;
    bool showsSilence() const;
    // What the meter says in words, for the accessible description.
    QString levelText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void refresh();

    QPointer<MicrophoneLevelMonitor> m_monitor;
};
