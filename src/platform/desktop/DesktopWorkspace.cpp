#include "platform/desktop/DesktopWorkspace.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>

namespace {
const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString fileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");
const QString fileManagerInterface = QStringLiteral("org.freedesktop.FileManager1");
} // namespace

DesktopWorkspace &DesktopWorkspace::shared()
{
    static DesktopWorkspace *instance = new DesktopWorkspace();
    return *instance;
}

DesktopWorkspace::DesktopWorkspace(QObject *parent)
    : QObject(parent), m_opener([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
}

void DesktopWorkspace::setUrlOpener(UrlOpener opener)
{
    m_opener = std::move(opener);
}

void DesktopWorkspace::setFileManagerBus(const QDBusConnection &bus)
{
    m_bus = bus;
}

void DesktopWorkspace::setFileManagerTimeoutMs(int timeoutMs)
{
    m_timeoutMs = timeoutMs;
}

QDBusConnection DesktopWorkspace::fileManagerBus() const
{
    return m_bus ? *m_bus : QDBusConnection::sessionBus();
}

void DesktopWorkspace::openUrl(const QUrl &url)
{
    Q_EMIT urlOpenRequested(url);
    if (m_opener) {
        m_opener(url);
    }
}

void DesktopWorkspace::activateFileViewerSelectingUrls(const QList<QUrl> &urls)
{
    Q_EMIT fileViewerRequested(urls);
    if (urls.isEmpty()) {
        Q_EMIT fileViewerFinished(urls, false);
        return;
    }
    const QDBusConnection bus = fileManagerBus();
    if (!bus.isConnected()) {
        openContainingFolders(urls);
        return;
    }
    QStringList uris;
    for (const QUrl &url : urls) {
        uris << QString::fromUtf8(url.toEncoded());
    }
    QDBusMessage call
        = QDBusMessage::createMethodCall(fileManagerService, fileManagerPath, fileManagerInterface, "ShowItems");
    call << uris << QString();
    // An unanswered call ends in a NoReply error after the timeout, so the
    // watcher always finishes and the folder fallback needs no timer of its own.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, m_timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, urls](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        if (finished->isError()) {
            openContainingFolders(urls);
        } else {
            Q_EMIT fileViewerFinished(urls, true);
        }
    });
}

void DesktopWorkspace::openContainingFolders(const QList<QUrl> &urls)
{
    QStringList folders;
    for (const QUrl &url : urls) {
        const QString folder = QFileInfo(url.toLocalFile()).absolutePath();
        if (!folders.contains(folder)) {
            folders << folder;
        }
    }
    for (const QString &folder : folders) {
        openUrl(QUrl::fromLocalFile(folder));
    }
    Q_EMIT fileViewerFinished(urls, false);
}
