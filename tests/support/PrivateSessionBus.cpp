#include "support/PrivateSessionBus.h"

#include <QFile>

PrivateSessionBus::PrivateSessionBus()
{
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly)) {
        return;
    }
    file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig>\n"
                              "  <type>session</type>\n"
                              "  <listen>unix:dir=%1</listen>\n"
                              "  <auth>EXTERNAL</auth>\n"
                              "  <policy context=\"default\">\n"
                              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                              "    <allow eavesdrop=\"true\"/>\n"
                              "    <allow own=\"*\"/>\n"
                              "  </policy>\n"
                              "</busconfig>\n")
                   .arg(m_dir.path())
                   .toUtf8());
    file.close();

    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
        QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
    // Run as root it complains about the open-file limit on every start.
    m_daemon.setStandardErrorFile(QProcess::nullDevice());
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000)) {
        return;
    }
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(20000)) { }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus()
{
    for (const QString &name : m_connectionNames) {
        QDBusConnection::disconnectFromBus(name);
    }
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(10000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(10000);
        }
    }
}

QDBusConnection PrivateSessionBus::connect(const QString &name)
{
    m_connectionNames.append(name);
    return QDBusConnection::connectToBus(m_address, name);
}
