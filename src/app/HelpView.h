#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

// The help tab: logo, name, version and two support contacts that copy
// themselves to the clipboard with a short green confirmation.
class HelpView : public QWidget {
    Q_OBJECT

public:
    static const QString supportEmail;
    static const QString supportWebsite;
    static constexpr double tipDurationSeconds = 1.8;

    explicit HelpView(QWidget *parent = nullptr);

    std::optional<QString> copiedTip() const { return m_copiedTip; }
    void copy(const QString &text, const QString &tip);

    QPushButton *emailButton() const { return m_emailButton; }
    QPushButton *websiteButton() const { return m_websiteButton; }
    QLabel *tipLabel() const { return m_tipLabel; }
    bool showsLogo() const;

    static std::optional<QImage> loadAppLogo();

    // Tests shorten the wait; the rule stays the same.
    void setTipDurationForTesting(double seconds) { m_tipDuration = seconds; }

Q_SIGNALS:
    void copiedTipChanged();

private:
    void setCopiedTip(const std::optional<QString> &tip);

    std::optional<QString> m_copiedTip;
    double m_tipDuration = tipDurationSeconds;
    QLabel *m_logoLabel = nullptr;
    QPushButton *m_emailButton = nullptr;
    QPushButton *m_websiteButton = nullptr;
    QLabel *m_tipLabel = nullptr;
};
