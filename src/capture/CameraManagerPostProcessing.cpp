#include "capture/CameraManager.h"

// Placeholder until post-processing lands.
std::optional<QImage> CameraManager::generateThumbnail(const QString &)
{
    return std::nullopt;
}

void CameraManager::fileOutputDidFinishRecording(const QString &, const std::optional<QString> &) {}
