#include "capture/CameraManager.h"

#include "platform/desktop/AppPaths.h"

// Placeholder until the capture session lands: no devices, no recording.
CameraManager::CameraManager(QObject *parent) : QObject(parent), m_saveFolder(AppPaths::desktopDirectory()) {}

CameraManager::~CameraManager() = default;

void CameraManager::setSaveFolder(const QString &folder)
{
    m_saveFolder = folder;
    Q_EMIT saveFolderChanged();
}

void CameraManager::configureResolution(VideoResolution, VideoAspectRatio aspectRatio)
{
    m_pendingAspectRatio = aspectRatio;
}

void CameraManager::startRecording() {}

void CameraManager::stopRecording() {}

void CameraManager::chooseSaveFolder() {}
