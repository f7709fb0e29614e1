#include "platform/media/CaptureDevice.h"

#include "platform/media/CaptureDeviceBackend.h"

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
    GstCapsPtr wanted(gst_caps_new_simple(
        "video/x-raw", "width", G_TYPE_INT, size.width(), "height", G_TYPE_INT, size.height(), nullptr));
    return gst_caps_can_intersect(wanted.get(), m_backend->caps.get());
}
