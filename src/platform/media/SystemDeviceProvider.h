#pragma once

#include "platform/media/CaptureDeviceProvider.h"

// The machine's cameras and microphones as GStreamer's device monitor lists
// them (V4L2, PipeWire, PulseAudio).
class SystemDeviceProvider : public CaptureDeviceProvider {
public:
    QList<CaptureDevice> videoDevices() override;
    std::optional<CaptureDevice> defaultAudioDevice() override;
};
