#pragma once

// A dbus-daemon of the test's own, with no activatable services: nothing on
// it answers unless the test puts it there.
#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        QFile config(m_dir.path() + "/bus.conf");
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
                                    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                                    "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                         .arg(m_dir.path())
                         .toUtf8());
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
            {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
        if (m_daemon.waitForStarted(10000)) {
            while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) { }
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        }
    }

    ~PrivateSessionBus()
    {
        for (const QString &name : std::as_const(m_connections)) {
            QDBusConnection::disconnectFromBus(name);
        }
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }

    bool isRunning() const { return !m_address.isEmpty(); }

    // A new client connection; each has its own unique bus name.
    QDBusConnection connect(const QString &name)
    {
        m_connections << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};
