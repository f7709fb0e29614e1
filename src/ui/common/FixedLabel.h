#pragma once

#include <QLabel>

// A label as wide as the widest text it is meant to show, so that its row
// does not shift as a value changes; wider only for a value out of range.
class FixedLabel : public QLabel {
    Q_OBJECT

public:
    FixedLabel(const QString &text, const QString &widest, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int m_widestWidth = 0;
};
