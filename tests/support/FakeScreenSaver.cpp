#include "support/FakeScreenSaver.h"

bool FakeScreenSaver::registerOn(QDBusConnection bus)
{
    return bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), this, QDBusConnection::ExportAllSlots)
        && bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
}

QList<uint> FakeScreenSaver::active() const
{
    QList<uint> cookies;
    for (const Inhibition &inhibition : inhibitions) {
        if (!released.contains(inhibition.cookie)) {
            cookies.append(inhibition.cookie);
        }
    }
    return cookies;
}

uint FakeScreenSaver::Inhibit(const QString &applicationName, const QString &reason)
{
    // Far from 0, so a release with an unset cookie shows up.
    const uint cookie = 7001 + uint(inhibitions.size());
    inhibitions.append({applicationName, reason, cookie});
    return cookie;
}

void FakeScreenSaver::UnInhibit(uint cookie)
{
    released.append(cookie);
}
