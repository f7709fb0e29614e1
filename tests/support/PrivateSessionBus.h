#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A dbus-daemon of the test's own. It starts no service on demand, so only
// what the test registers answers on it, whatever the machine has installed.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    // Closes every connection made through connect(), then stops the daemon.
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    // Empty when the daemon did not start.
    QString address() const { return m_address; }
    // A connection of its own under `name` (a service and its client must not
    // share one, or Qt delivers the calls without the bus).
    QDBusConnection connect(const QString &name);

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connectionNames;
};
