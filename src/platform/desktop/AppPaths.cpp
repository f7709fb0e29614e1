#include "platform/desktop/AppPaths.h"

#include <QDir>
#include <QStandardPaths>

QString AppPaths::applicationSupportDirectory()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    if (!locations.isEmpty()) {
        return locations.first();
    }
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QString AppPaths::dataFolder()
{
    return applicationSupportDirectory() + QStringLiteral("/Veltroscope");
}

QString AppPaths::thumbnailsFolder()
{
    return dataFolder() + QStringLiteral("/thumbnails");
}

QString AppPaths::desktopDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}
