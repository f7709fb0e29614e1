#pragma once

#include <QPushButton>

// A pull-down menu button whose title stays on one line, left-aligned, at most
// a set width, and gives way with an ellipsis when the row is narrow. text()
// holds what fits; title() and the accessible name hold the whole title.
class CameraMenuButton : public QPushButton {
    Q_OBJECT

public:
    explicit CameraMenuButton(int maximumTitleWidth, QWidget *parent = nullptr);

    void setTitle(const QString &title);
    QString title() const { return m_title; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int chromeWidth() const;
    void refreshText();

    QString m_title;
    int m_maximumTitleWidth;
};
