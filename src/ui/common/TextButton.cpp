#include "ui/common/TextButton.h"

#include <algorithm>

TextButton::TextButton(const QStringList &titles, QWidget *parent)
    : QPushButton(titles.value(0), parent), m_titles(titles)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize TextButton::sizeHint() const
{
    int textWidth = 0;
    for (const QString &title : m_titles) {
        textWidth = std::max(textWidth, fontMetrics().horizontalAdvance(title));
    }
    return {textWidth + fontMetrics().height() + 8, QPushButton::sizeHint().height()};
}

QSize TextButton::minimumSizeHint() const
{
    return sizeHint();
}
