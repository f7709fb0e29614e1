#include "platform/media/CaptureDeviceBackend.h"

#include "platform/media/GstErrorText.h"

CaptureDeviceBackend::CaptureDeviceBackend(
    QString localizedName, QString uniqueID, MediaType mediaType, GstCapsPtr caps)
    : localizedName(std::move(localizedName)), uniqueID(std::move(uniqueID)), mediaType(mediaType),
      caps(std::move(caps))
{
}

CaptureDeviceBackend::~CaptureDeviceBackend() = default;

GstElement *CaptureDeviceBackend::createSource(QString *errorDescription) const
{
    GstElement *element = createElement(errorDescription);
    if (!element) {
        return nullptr;
    }
    // pipewiresrc hands out buffers from a small shared pool: when the encoder
    // queue or the preview holds several of them the source stalls for good
    // unless it copies. A source may also be a bin around one.
    auto copyIfLending = [](GstElement *candidate) {
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(candidate), "always-copy")) {
            g_object_set(candidate, "always-copy", TRUE, nullptr);
        }
    };
    copyIfLending(element);
    if (GST_IS_BIN(element)) {
        GstIterator *inside = gst_bin_iterate_recurse(GST_BIN(element));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(inside, &item) == GST_ITERATOR_OK) {
            copyIfLending(GST_ELEMENT(g_value_get_object(&item)));
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(inside);
    }
    return element;
}

MonitoredDeviceBackend::MonitoredDeviceBackend(GstDevice *device, QString uniqueID, MediaType mediaType)
    : CaptureDeviceBackend(QString::fromUtf8(GCharPtr(gst_device_get_display_name(device)).get()), std::move(uniqueID),
        mediaType, GstCapsPtr(gst_device_get_caps(device))),
      m_device(GstPtr<GstDevice>::ref(device))
{
}

GstElement *MonitoredDeviceBackend::createElement(QString *errorDescription) const
{
    GstElement *element = gst_device_create_element(m_device.get(), nullptr);
    if (!element && errorDescription) {
        *errorDescription = QStringLiteral("无法为设备“%1”创建采集源").arg(localizedName);
    }
    return element;
}

LaunchDescriptionBackend::LaunchDescriptionBackend(
    QString localizedName, QString uniqueID, MediaType mediaType, QString description, GstCapsPtr caps)
    : CaptureDeviceBackend(std::move(localizedName), std::move(uniqueID), mediaType, std::move(caps)),
      m_description(std::move(description))
{
}

GstElement *LaunchDescriptionBackend::createElement(QString *errorDescription) const
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(m_description.toUtf8().constData(), TRUE, &error);
    if (!bin) {
        if (errorDescription) {
            *errorDescription = QStringLiteral("无法创建采集源“%1”: %2").arg(m_description, GstErrorText::of(error));
        }
        g_clear_error(&error);
        return nullptr;
    }
    g_clear_error(&error);
    return bin;
}
