#include "platform/media/CaptureDeviceInput.h"

#include "platform/media/CaptureDeviceBackend.h"

std::shared_ptr<CaptureDeviceInput> CaptureDeviceInput::make(const CaptureDevice &device, QString *errorDescription)
{
    if (device.isNull()) {
        if (errorDescription) {
            *errorDescription = QStringLiteral("没有设备");
        }
        return nullptr;
    }
    // The session makes its own source when it starts the device; this one only
    // proves that a source can be made at all.
    GstPtr<GstElement> probe(device.backend()->createSource(errorDescription));
    if (!probe) {
        return nullptr;
    }
    return std::shared_ptr<CaptureDeviceInput>(new CaptureDeviceInput(device));
}
