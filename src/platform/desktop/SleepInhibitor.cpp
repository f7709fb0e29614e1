#include "platform/desktop/SleepInhibitor.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalInterface = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString screenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString screenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");

// Long enough for a service that is started on demand; a hung portal then
// still leaves time for the screensaver service.
constexpr int callTimeoutMs = 5000;

// The portal names each request after the caller's connection and this
// token, so two requests of one process must not share it.
uint requestCount = 0;

void logFailure(const QString &detail)
{
    Log::line(QStringLiteral("⚠️ 无法阻止系统休眠: ") + detail);
}

// The grant in a finished reply; `error` is set instead when there is none.
// A typed reply also turns an answer of the wrong type into an error.
std::optional<SleepInhibitor::Grant> grantOf(
    SleepInhibitor::Route route, QDBusPendingCallWatcher &watcher, QDBusError *error)
{
    if (route == SleepInhibitor::Route::portal) {
        const QDBusPendingReply<QDBusObjectPath> reply = watcher;
        *error = reply.error();
        return reply.isValid() ? std::optional(SleepInhibitor::Grant{route, reply.value().path()}) : std::nullopt;
    }
    const QDBusPendingReply<uint> reply = watcher;
    *error = reply.error();
    return reply.isValid() ? std::optional(SleepInhibitor::Grant{route, QString(), reply.value()}) : std::nullopt;
}

void sendRelease(QDBusConnection &bus, const SleepInhibitor::Grant &grant)
{
    QDBusMessage call;
    if (grant.route == SleepInhibitor::Route::portal) {
        call = QDBusMessage::createMethodCall(portalService, grant.handle, requestInterface, QStringLiteral("Close"));
    } else {
        call = QDBusMessage::createMethodCall(
            screenSaverService, screenSaverPath, screenSaverService, QStringLiteral("UnInhibit"));
        call << grant.cookie;
    }
    bus.send(call);
}
} // namespace

SleepInhibitor::SleepInhibitor(QObject *parent) : QObject(parent)
{
}

SleepInhibitor::SleepInhibitor(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
}

SleepInhibitor::~SleepInhibitor()
{
    // A request under way is let go by its reply handler. When the process
    // ends first, the bus drops the client's inhibitions with its connection.
    release();
}

QDBusConnection &SleepInhibitor::bus()
{
    if (!m_bus) {
        m_bus = QDBusConnection::sessionBus();
    }
    return *m_bus;
}

void SleepInhibitor::inhibit(const QString &reason)
{
    if (m_wanted) {
        return;
    }
    m_wanted = true;
    m_reason = reason;
    if (!m_pending && !m_held) {
        request(Route::portal);
    }
}

void SleepInhibitor::release()
{
    m_wanted = false;
    if (m_held) {
        sendRelease(bus(), *m_held);
        m_held.reset();
    }
}

void SleepInhibitor::request(Route route)
{
    // Without a bus a call never finishes; say so at once instead.
    if (!bus().isConnected()) {
        const QString detail = bus().lastError().message();
        logFailure(detail.isEmpty() ? QStringLiteral("no D-Bus session bus") : detail);
        return;
    }
    QDBusMessage call;
    if (route == Route::portal) {
        call = QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, QStringLiteral("Inhibit"));
        const QVariantMap options{{QStringLiteral("reason"), m_reason},
            {QStringLiteral("handle_token"), QStringLiteral("veltroscope_inhibit%1").arg(++requestCount)}};
        call << QString() << (portalSuspend | portalIdle) << options;
    } else {
        call = QDBusMessage::createMethodCall(
            screenSaverService, screenSaverPath, screenSaverService, QStringLiteral("Inhibit"));
        call << QCoreApplication::applicationName() << m_reason;
    }
    m_pending = true;
    // The watcher outlives this object, so a grant that arrives after it is
    // gone is still let go.
    auto *watcher = new QDBusPendingCallWatcher(bus().asyncCall(call, callTimeoutMs));
    QPointer<SleepInhibitor> self(this);
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
        [self, route, connection = bus()](QDBusPendingCallWatcher *finished) mutable {
            finished->deleteLater();
            if (self) {
                self->onReply(route, finished);
                return;
            }
            QDBusError error;
            if (const auto grant = grantOf(route, *finished, &error)) {
                sendRelease(connection, *grant);
            }
        });
}

void SleepInhibitor::onReply(Route route, QDBusPendingCallWatcher *watcher)
{
    m_pending = false;
    QDBusError error;
    const std::optional<Grant> grant = grantOf(route, *watcher, &error);
    if (!grant) {
        if (!m_wanted) {
            return;
        }
        if (route == Route::portal) {
            // No portal, or one without an inhibit backend.
            request(Route::screenSaver);
        } else {
            logFailure(error.message());
        }
        return;
    }
    if (m_wanted) {
        m_held = grant;
    } else {
        sendRelease(bus(), *grant);
    }
}
