// Shared main for every test binary: a private home and data folder per
// process, Qt on the offscreen platform, GStreamer initialised.
#include "support/TestPaths.h"
#include "platform/media/MediaRuntime.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char **argv)
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/veltroscope-test-XXXXXX"));
    const QByteArray homePath = home.path().toUtf8();
    setenv("HOME", homePath.constData(), 1);
    setenv("XDG_DATA_HOME", (homePath + "/.local/share").constData(), 1);
    setenv("XDG_CONFIG_HOME", (homePath + "/.config").constData(), 1);
    setenv("XDG_CACHE_HOME", (homePath + "/.cache").constData(), 1);
    if (!getenv("XDG_RUNTIME_DIR")) {
        const QByteArray runtime = homePath + "/runtime";
        QDir().mkpath(QString::fromUtf8(runtime));
        QFile::setPermissions(QString::fromUtf8(runtime), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setenv("XDG_RUNTIME_DIR", runtime.constData(), 1);
    }
    // One plugin registry per build: a fresh one in the private cache folder
    // would make every test process scan every GStreamer plugin again.
    if (!getenv("GST_REGISTRY")) {
        setenv("GST_REGISTRY", TestPaths::gstRegistry().toLocal8Bit().constData(), 1);
    }
    if (!getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    MediaRuntime::initialise(&argc, &argv);
    testing::InitGoogleTest(&argc, argv);

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Veltroscope"));
    QCoreApplication::setApplicationName(QStringLiteral("Veltroscope"));
    return RUN_ALL_TESTS();
}
