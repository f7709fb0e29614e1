#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>

// Stands in for the desktop's org.freedesktop.ScreenSaver service and keeps
// every call it gets.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    struct Inhibition {
        QString applicationName;
        QString reason;
        uint cookie;
    };

    // Takes the service name and object path on `bus`; false when either is refused.
    bool registerOn(QDBusConnection bus);

    QList<Inhibition> inhibitions; // every Inhibit call, in order
    QList<uint> released; // every UnInhibit cookie, in order
    // Cookies handed out and not released.
    QList<uint> active() const;

public Q_SLOTS:
    uint Inhibit(const QString &applicationName, const QString &reason);
    void UnInhibit(uint cookie);
};
