#include "support/FakeInhibitPortal.h"

#include <QDBusMessage>

// The org.freedesktop.portal.Request object behind one handle.
class FakePortalRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

public:
    FakePortalRequest(FakeInhibitPortal *portal, const QString &handle) : QObject(portal), m_handle(handle) { }

public Q_SLOTS:
    void Close()
    {
        auto *portal = static_cast<FakeInhibitPortal *>(parent());
        portal->closed.append(m_handle);
        portal->m_bus.unregisterObject(m_handle);
        deleteLater();
    }

private:
    QString m_handle;
};

bool FakeInhibitPortal::registerOn(QDBusConnection bus)
{
    m_bus = bus;
    return bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this, QDBusConnection::ExportAllSlots)
        && bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

QList<QString> FakeInhibitPortal::active() const
{
    QList<QString> handles;
    for (const Inhibition &inhibition : inhibitions) {
        if (!closed.contains(inhibition.handle)) {
            handles.append(inhibition.handle);
        }
    }
    return handles;
}

QDBusObjectPath FakeInhibitPortal::Inhibit(const QString &window, uint flags, const QVariantMap &options)
{
    // The portal's handle: the caller's unique name without ':' and with '_'
    // for '.', then the caller's token.
    QString sender = message().service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString token = options.value(QStringLiteral("handle_token")).toString();
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                               .arg(sender, token.isEmpty() ? QStringLiteral("t%1").arg(inhibitions.size()) : token);
    m_bus.registerObject(handle, new FakePortalRequest(this, handle), QDBusConnection::ExportAllSlots);
    inhibitions.append({window, flags, options, handle});
    return QDBusObjectPath(handle);
}

#include "FakeInhibitPortal.moc"
