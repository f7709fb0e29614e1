#pragma once

#include <QWidget>

class RecordingCountdown;

// The 3-2-1 before a recording, large over the middle of the picture. It
// covers its parent, takes no mouse input and shows only while counting.
class CountdownOverlay : public QWidget {
    Q_OBJECT

public:
    static constexpr int discDiameter = 160;

    CountdownOverlay(RecordingCountdown *countdown, QWidget *parent);

    // The number shown, empty while hidden.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();

    RecordingCountdown *m_countdown;
};
