#pragma once

#include "platform/media/CaptureDevice.h"

#include <QString>

#include <memory>

// A device made ready to be added to a capture session. Making one fails, with
// a description, when no source can be made for the device.
class CaptureDeviceInput {
public:
    static std::shared_ptr<CaptureDeviceInput> make(const CaptureDevice &device, QString *errorDescription);

    const CaptureDevice &device() const { return m_device; }

private:
    explicit CaptureDeviceInput(CaptureDevice device) : m_device(std::move(device)) { }
    CaptureDevice m_device;
};
