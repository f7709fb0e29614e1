#pragma once

#include "platform/media/CaptureDeviceProvider.h"
#include "platform/media/CapturePermissions.h"

#include <memory>

// Granted when a device of the kind opens (or when there is none to refuse);
// refused when every device of the kind fails to open.
class SystemCapturePermissions : public CapturePermissions {
public:
    explicit SystemCapturePermissions(std::shared_ptr<CaptureDeviceProvider> provider);
    void requestAccess(MediaType mediaType, std::function<void(bool granted)> completion) override;

    // Whether the device's source reaches the READY state, which opens it.
    static bool canOpen(const CaptureDevice &device);

private:
    std::shared_ptr<CaptureDeviceProvider> m_provider;
};
