#pragma once

#include <QLabel>
#include <QWidget>

class PulsingDot;

// The "录制中" badge shown over the picture while a recording runs: a pulsing
// red dot and the text, on a dark rounded pill.
class RecordingIndicator : public QWidget {
    Q_OBJECT

public:
    explicit RecordingIndicator(QWidget *parent = nullptr);

    QWidget *dot() const { return m_dot; }
    QLabel *label() const { return m_label; }
    // The take's elapsed time beside the text; the badge keeps its right edge.
    QLabel *elapsedLabel() const { return m_elapsed; }
    void setElapsedText(const QString &text);
    PulsingDot *pulse() const { return m_pulse; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_dot;
    QLabel *m_label;
    QLabel *m_elapsed;
    PulsingDot *m_pulse;
};
