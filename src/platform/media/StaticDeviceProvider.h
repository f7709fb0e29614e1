#pragma once

#include "platform/media/CaptureDeviceProvider.h"

#include <mutex>

// A fixed set of devices given in code; empty unless set. Safe to read from
// the session's background worker while the main thread changes it.
class StaticDeviceProvider : public CaptureDeviceProvider {
public:
    StaticDeviceProvider() = default;
    StaticDeviceProvider(QList<CaptureDevice> videoDevices, std::optional<CaptureDevice> audioDevice);

    QList<CaptureDevice> videoDevices() override;
    std::optional<CaptureDevice> defaultAudioDevice() override;

    void setVideoDevices(QList<CaptureDevice> devices);
    void setDefaultAudioDevice(std::optional<CaptureDevice> device);

private:
    std::mutex m_mutex;
    QList<CaptureDevice> m_videoDevices;
    std::optional<CaptureDevice> m_audioDevice;
};
