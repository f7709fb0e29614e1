#pragma once

#include "platform/media/GstPtr.h"
#include "platform/media/MediaType.h"

#include <QString>

#include <gst/gst.h>

// What stands behind a CaptureDevice: the device's facts and a way to make a
// fresh source element for it. Only the capture layer includes this.
class CaptureDeviceBackend {
public:
    CaptureDeviceBackend(QString localizedName, QString uniqueID, MediaType mediaType, GstCapsPtr caps);
    virtual ~CaptureDeviceBackend();

    // A new source element (owned by the caller), or nullptr with a reason.
    GstElement *createSource(QString *errorDescription) const;

    const QString localizedName;
    const QString uniqueID;
    const MediaType mediaType;
    const GstCapsPtr caps; // what the device can deliver; may be null (unknown)

protected:
    virtual GstElement *createElement(QString *errorDescription) const = 0;
};

// A device found by the device monitor.
class MonitoredDeviceBackend : public CaptureDeviceBackend {
public:
    MonitoredDeviceBackend(GstDevice *device, QString uniqueID, MediaType mediaType);

protected:
    GstElement *createElement(QString *errorDescription) const override;

private:
    GstPtr<GstDevice> m_device;
};

// A device whose source is a launch description, e.g. "videotestsrc is-live=true".
class LaunchDescriptionBackend : public CaptureDeviceBackend {
public:
    LaunchDescriptionBackend(
        QString localizedName, QString uniqueID, MediaType mediaType, QString description, GstCapsPtr caps);

protected:
    GstElement *createElement(QString *errorDescription) const override;

private:
    QString m_description;
};
