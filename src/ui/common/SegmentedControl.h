#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

// A row of mutually exclusive checkable segments, one per option, each titled
// with the option's label. Prefers a set width and shrinks, when the row needs
// it, down to the width that still shows every title in full.
class SegmentedControl : public QWidget {
    Q_OBJECT

public:
    SegmentedControl(const QString &label, const QStringList &titles, int preferredWidth, QWidget *parent = nullptr);

    int currentIndex() const;
    void setCurrentIndex(int index);
    QString label() const { return m_label; }
    QAbstractButton *segment(int index) const;
    int count() const { return int(m_titles.size()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // Whenever a segment becomes checked by the user (a click, a key or an
    // accessibility action), not for setCurrentIndex().
    void activated(int index);

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyStyle();

    QString m_label;
    QStringList m_titles;
    int m_preferredWidth;
    QButtonGroup *m_group = nullptr;
    bool m_settingIndex = false;
};
