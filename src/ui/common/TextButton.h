#pragma once

#include <QPushButton>
#include <QStringList>

// A push button as wide as the longest of the titles it takes turns showing,
// plus a little padding, so that its width does not change with its title.
class TextButton : public QPushButton {
    Q_OBJECT

public:
    // Shows the first title to begin with.
    explicit TextButton(const QStringList &titles, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    QStringList m_titles;
};
