#include "ui/common/RowSlider.h"

#include <algorithm>
#include <cmath>

RowSlider::RowSlider(int preferredWidth, int floorWidth, int minimum, int maximum, int step, QWidget *parent)
    : QSlider(Qt::Horizontal, parent), m_preferredWidth(preferredWidth), m_floorWidth(floorWidth),
      m_step(std::max(1, step))
{
    setRange(minimum, maximum);
    setSingleStep(m_step);
    setPageStep(m_step * 2);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMaximumWidth(preferredWidth);
}

QSize RowSlider::sizeHint() const
{
    return {m_preferredWidth, QSlider::sizeHint().height()};
}

QSize RowSlider::minimumSizeHint() const
{
    return {m_floorWidth, QSlider::minimumSizeHint().height()};
}

int RowSlider::snapped(int value) const
{
    const int steps = int(std::lround(double(value - minimum()) / m_step));
    return std::clamp(minimum() + steps * m_step, minimum(), maximum());
}
