#pragma once

#include <QLabel>
#include <QMargins>

// One line of text that is cut with an ellipsis rather than clipped when it
// has less room than it needs. Optionally drawn as a badge: padded, on a
// rounded background. text() and the accessible name keep the whole text.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget *parent = nullptr);

    // Widest the text part may be; 0 for no limit.
    void setMaximumTextWidth(int points);
    void setBadge(const QColor &background, QMargins padding, int cornerRadius);
    // Fewest characters kept before the ellipsis when the room runs out.
    void setMinimumCharacters(int count);

    QString displayedText() const;
    QMargins padding() const { return m_padding; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int textRoom() const;

    Qt::TextElideMode m_mode;
    int m_maximumTextWidth = 0;
    int m_minimumCharacters = 3;
    QColor m_background;
    QMargins m_padding;
    int m_cornerRadius = 0;
};
