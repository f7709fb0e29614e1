#include "platform/media/SystemCapturePermissions.h"

#include "platform/media/CaptureDeviceBackend.h"

#include <QThreadPool>

SystemCapturePermissions::SystemCapturePermissions(std::shared_ptr<CaptureDeviceProvider> provider)
    : m_provider(std::move(provider))
{
}

void SystemCapturePermissions::requestAccess(MediaType mediaType, std::function<void(bool)> completion)
{
    QThreadPool::globalInstance()->start([provider = m_provider, mediaType, completion = std::move(completion)] {
        QList<CaptureDevice> devices;
        if (mediaType == MediaType::video) {
            devices = provider->videoDevices();
        } else if (auto microphone = provider->defaultAudioDevice()) {
            devices.append(*microphone);
        }
        bool granted = devices.isEmpty();
        for (const CaptureDevice &device : devices) {
            if (canOpen(device)) {
                granted = true;
                break;
            }
        }
        completion(granted);
    });
}

bool SystemCapturePermissions::canOpen(const CaptureDevice &device)
{
    if (device.isNull()) {
        return false;
    }
    GstPtr<GstElement> source(device.backend()->createSource(nullptr));
    if (!source) {
        return false;
    }
    const bool opened = gst_element_set_state(source.get(), GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(source.get(), GST_STATE_NULL);
    return opened;
}
