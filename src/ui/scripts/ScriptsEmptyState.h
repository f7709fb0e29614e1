#pragma once

#include <QWidget>

class QLabel;

// Shown in place of the list while the library holds no script.
class ScriptsEmptyState : public QWidget {
    Q_OBJECT

public:
    static constexpr int iconSize = 48;

    explicit ScriptsEmptyState(QWidget *parent = nullptr);

    QLabel *icon() const { return m_icon; }
    QLabel *message() const { return m_message; }
    QLabel *hint() const { return m_hint; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyColors();

    QLabel *m_icon = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_hint = nullptr;
};
