#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The bar above the script list: the screen's heading and the add button.
class ScriptsHeaderBar : public QWidget {
    Q_OBJECT

public:
    explicit ScriptsHeaderBar(QWidget *parent = nullptr);

    QLabel *heading() const { return m_heading; }
    QPushButton *addButton() const { return m_addButton; }

Q_SIGNALS:
    void addRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyColors();

    QLabel *m_heading = nullptr;
    QPushButton *m_addButton = nullptr;
};
