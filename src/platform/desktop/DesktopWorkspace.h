#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

// The desktop's default applications and its file manager. Requests are sent
// and not waited for; nothing here blocks the caller. Main thread only.
class DesktopWorkspace : public QObject {
    Q_OBJECT

public:
    // Hands a URL to the desktop; returns whether the desktop took it.
    using UrlOpener = std::function<bool(const QUrl &)>;

    static constexpr int defaultFileManagerTimeoutMs = 3000;

    static DesktopWorkspace &shared();

    explicit DesktopWorkspace(QObject *parent = nullptr);

    // Opens `url` in the application the desktop associates with it.
    void openUrl(const QUrl &url);

    // Shows `urls` selected in the file manager (org.freedesktop.FileManager1).
    // When it answers with an error, or not within the timeout, the folders
    // holding them are opened instead.
    void activateFileViewerSelectingUrls(const QList<QUrl> &urls);

    // Replaceable so that tests can watch without launching anything.
    void setUrlOpener(UrlOpener opener);
    void setFileManagerBus(const QDBusConnection &bus);
    void setFileManagerTimeoutMs(int timeoutMs);

Q_SIGNALS:
    void urlOpenRequested(const QUrl &url);
    void fileViewerRequested(const QList<QUrl> &urls);
    // `shownByFileManager` false: the folders were opened instead.
    void fileViewerFinished(const QList<QUrl> &urls, bool shownByFileManager);

private:
    void openContainingFolders(const QList<QUrl> &urls);
    QDBusConnection fileManagerBus() const;

    UrlOpener m_opener;
    std::optional<QDBusConnection> m_bus;
    int m_timeoutMs = defaultFileManagerTimeoutMs;
};
