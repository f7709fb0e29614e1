#pragma once

#include <QWidget>

class QLabel;

// A message over the picture, for what the user must know before anything
// else: a bold line and a one-line hint on a dark rounded box.
class PictureNotice : public QWidget {
    Q_OBJECT

public:
    explicit PictureNotice(QWidget *parent = nullptr);

    // Hidden while `title` is empty.
    void setMessage(const QString &title, const QString &hint = QString());
    QString title() const;
    QString hint() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_title;
    QLabel *m_hint;
};
