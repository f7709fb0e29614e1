#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

// Stands in for the desktop portal's Inhibit interface. Each granted call
// exports a request object at the returned handle; closing it ends the
// inhibition.
class FakeInhibitPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")

public:
    struct Inhibition {
        QString window;
        uint flags;
        QVariantMap options;
        QString handle;
    };

    // Takes the portal's service name and object path on `bus`.
    bool registerOn(QDBusConnection bus);

    QList<Inhibition> inhibitions; // every Inhibit call, in order
    QList<QString> closed; // every closed handle, in order
    // Handles handed out and not closed.
    QList<QString> active() const;

public Q_SLOTS:
    QDBusObjectPath Inhibit(const QString &window, uint flags, const QVariantMap &options);

private:
    friend class FakePortalRequest;
    QDBusConnection m_bus{QString()};
};
