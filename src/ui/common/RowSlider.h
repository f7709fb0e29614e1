#pragma once

#include <QSlider>

// A horizontal slider that asks for its design width but gives way down to a
// floor when its row is short of room, and whose value always sits on a step.
class RowSlider : public QSlider {
    Q_OBJECT

public:
    RowSlider(int preferredWidth, int floorWidth, int minimum, int maximum, int step, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Dragging can land between steps: the nearest step inside the range.
    int snapped(int value) const;

private:
    int m_preferredWidth;
    int m_floorWidth;
    int m_step;
};
