#pragma once

#include <QString>

// Where the program keeps its files. Everything lives under the first generic
// data location (~/.local/share, or $XDG_DATA_HOME), in "Veltroscope".
class AppPaths {
public:
    static QString applicationSupportDirectory();
    static QString dataFolder(); // .../Veltroscope
    static QString thumbnailsFolder(); // .../Veltroscope/thumbnails
    static QString desktopDirectory();
};
