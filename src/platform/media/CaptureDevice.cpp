#include "platform/media/CaptureDevice.h"

#include "platform/media/CaptureDeviceBackend.h"
#include "platform/media/CaptureDeviceFormats.h"

CaptureDevice::CaptureDevice(std::shared_ptr<const CaptureDeviceBackend> backend) : m_backend(std::move(backend))
{
}

CaptureDevice CaptureDevice::fromLaunchDescription(const QString &localizedName, const QString &uniqueID,
    MediaType mediaType, const QString &sourceDescription, const QString &capsDescription)
{
    GstCapsPtr caps(capsDescription.isEmpty() ? nullptr : gst_caps_from_string(capsDescription.toUtf8().constData()));
    return CaptureDevice(std::make_shared<LaunchDescriptionBackend>(
        localizedName, uniqueID, mediaType, sourceDescription, std::move(caps)));
}

QString CaptureDevice::localizedName() const
{
    return m_backend ? m_backend->localizedName : QString();
}

QString CaptureDevice::uniqueID() const
{
    return m_backend ? m_backend->uniqueID : QString();
}

MediaType CaptureDevice::mediaType() const
{
    return m_backend ? m_backend->mediaType : MediaType::video;
}

bool CaptureDevice::hasMediaType(MediaType mediaType) const
{
    return m_backend && m_backend->mediaType == mediaType;
}

bool CaptureDevice::supportsFrameSize(QSize size) const
{
    if (!m_backend || !m_backend->caps || !hasMediaType(MediaType::video)) {
        return false;
    }
    return CaptureDeviceFormats::modeFor(m_backend->caps.get(), size).has_value();
}
