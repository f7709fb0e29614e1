#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

class QDBusPendingCallWatcher;

// Keeps the session from blanking the screen or suspending while held. Asks
// the desktop portal first (it also answers inside a sandbox), then the older
// org.freedesktop.ScreenSaver service. Every call is asynchronous, so a slow
// or missing service never holds up the caller.
class SleepInhibitor : public QObject {
    Q_OBJECT

public:
    // On the session bus, connected on first use.
    explicit SleepInhibitor(QObject *parent = nullptr);
    // On the given bus (tests bring a private one).
    explicit SleepInhibitor(const QDBusConnection &bus, QObject *parent = nullptr);
    // Lets go of a held inhibition, and of one still being asked for as soon
    // as it is granted.
    ~SleepInhibitor() override;

    // `reason` is what the desktop shows for it. Nothing happens while one is
    // already wanted.
    void inhibit(const QString &reason);
    // Lets go now, or as soon as a request still under way is granted.
    void release();

    // A service granted the inhibition and it has not been let go.
    bool isHeld() const { return m_held.has_value(); }

    // Flags of the portal's Inhibit call.
    static constexpr uint portalSuspend = 4;
    static constexpr uint portalIdle = 8;

    enum class Route { portal, screenSaver };
    // What a service handed out: the portal's request handle or the
    // screensaver's cookie.
    struct Grant {
        Route route;
        QString handle;
        uint cookie = 0;
    };

private:
    QDBusConnection &bus();
    void request(Route route);
    void onReply(Route route, QDBusPendingCallWatcher *watcher);

    std::optional<QDBusConnection> m_bus;
    QString m_reason;
    bool m_wanted = false;
    bool m_pending = false;
    std::optional<Grant> m_held;
};
