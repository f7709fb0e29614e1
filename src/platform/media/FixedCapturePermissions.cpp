#include "platform/media/FixedCapturePermissions.h"

#include <QThreadPool>

FixedCapturePermissions::FixedCapturePermissions(bool cameraGranted, bool microphoneGranted)
    : m_cameraGranted(cameraGranted), m_microphoneGranted(microphoneGranted)
{
}

void FixedCapturePermissions::requestAccess(MediaType mediaType, std::function<void(bool)> completion)
{
    const bool granted = mediaType == MediaType::video ? m_cameraGranted : m_microphoneGranted;
    QThreadPool::globalInstance()->start([completion = std::move(completion), granted] { completion(granted); });
}
