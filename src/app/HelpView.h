#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
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

    // Runs `task` on the main thread `seconds` from now. Tests hand in a clock
    // they advance themselves, so the timing rule is checked without waiting.
    using Scheduler = std::function<void(double seconds, std::function<void()> task)>;
    void setSchedulerForTesting(Scheduler scheduler) { m_scheduler = std::move(scheduler); }

Q_SIGNALS:
    void copiedTipChanged();

private:
    void setCopiedTip(const std::optional<QString> &tip);

    std::optional<QString> m_copiedTip;
    Scheduler m_scheduler;
    QLabel *m_logoLabel = nullptr;
    QPushButton *m_emailButton = nullptr;
    QPushButton *m_websiteButton = nullptr;
    QLabel *m_tipLabel = nullptr;
};
