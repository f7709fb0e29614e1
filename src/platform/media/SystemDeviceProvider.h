#pragma once

#include "platform/media/CaptureDeviceProvider.h"

#include <memory>

// The machine's cameras and microphones as GStreamer's device monitor lists
// them (V4L2, PipeWire, PulseAudio).
class SystemDeviceProvider : public CaptureDeviceProvider {
public:
    SystemDeviceProvider();
    ~SystemDeviceProvider() override;

    // The process-wide provider: one device monitor for the camera layer and
    // the voice listener alike.
    static std::shared_ptr<SystemDeviceProvider> shared();

    QList<CaptureDevice> videoDevices() override;
    std::optional<CaptureDevice> defaultAudioDevice() override;
    // Told by the device monitor's bus, on the monitor's thread.
    int addChangeHandler(ChangeHandler handler) override;
    void removeChangeHandler(int id) override;

private:
    struct Monitor;
    std::unique_ptr<Monitor> m_monitor;
};
