#pragma once

#include "platform/media/MediaType.h"

#include <QList>
#include <QMetaType>
#include <QSize>
#include <QString>

#include <memory>

class CaptureDeviceBackend;

// A camera or microphone as the capture layer knows it: a display name, a
// stable unique id, its media type, and the ability to make a source from it.
// Copies share one device.
class CaptureDevice {
public:
    CaptureDevice() = default;
    explicit CaptureDevice(std::shared_ptr<const CaptureDeviceBackend> backend);

    // A device whose source is made from a GStreamer launch description (test
    // patterns, tones, virtual devices). `capsDescription` is what it can deliver.
    static CaptureDevice fromLaunchDescription(const QString &localizedName, const QString &uniqueID,
        MediaType mediaType, const QString &sourceDescription, const QString &capsDescription);

    bool isNull() const { return !m_backend; }
    QString localizedName() const;
    QString uniqueID() const;
    MediaType mediaType() const;
    bool hasMediaType(MediaType mediaType) const;
    // Whether the device says it can deliver pictures of exactly this size, as
    // raw frames or as JPEG.
    bool supportsFrameSize(QSize size) const;

    const std::shared_ptr<const CaptureDeviceBackend> &backend() const { return m_backend; }

    friend bool operator==(const CaptureDevice &a, const CaptureDevice &b)
    {
        return a.m_backend == b.m_backend || (a.m_backend && b.m_backend && a.uniqueID() == b.uniqueID());
    }

private:
    std::shared_ptr<const CaptureDeviceBackend> m_backend;
};

Q_DECLARE_METATYPE(CaptureDevice)
