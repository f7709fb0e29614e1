#include "app/AppResources.h"
#include "app/MainWindow.h"
#include "app/VeltroscopeApp.h"
#include "platform/media/MediaRuntime.h"
#include "ui/common/AppFont.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    MediaRuntime::initialise(&argc, &argv);
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Veltroscope"));
    QCoreApplication::setApplicationName(QStringLiteral("Veltroscope"));
    // Lets Wayland desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("app.veltroscope.Veltroscope"));
    AppResources::ensureLoaded();
    AppFont::applyToApplication();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/AppIcon.png")));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));

    VeltroscopeApp app;
    app.window()->show();
    return QApplication::exec();
}
