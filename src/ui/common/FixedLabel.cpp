#include "ui/common/FixedLabel.h"

#include <algorithm>

FixedLabel::FixedLabel(const QString &text, const QString &widest, QWidget *parent) : QLabel(text, parent)
{
    m_widestWidth = fontMetrics().horizontalAdvance(widest);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

QSize FixedLabel::sizeHint() const
{
    const QSize hint = QLabel::sizeHint();
    return {std::max(hint.width(), m_widestWidth), hint.height()};
}

QSize FixedLabel::minimumSizeHint() const
{
    return sizeHint();
}
