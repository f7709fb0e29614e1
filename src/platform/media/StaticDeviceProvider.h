#pragma once

#include "platform/media/CaptureDeviceProvider.h"

#include <map>
#include <mutex>

// A fixed set of devices given in code; empty unless set. Safe to read from
// the session's background worker while the main thread changes it.
class StaticDeviceProvider : public CaptureDeviceProvider {
public:
    StaticDeviceProvider() = default;
    StaticDeviceProvider(QList<CaptureDevice> videoDevices, std::optional<CaptureDevice> audioDevice);

    QList<CaptureDevice> videoDevices() override;
    std::optional<CaptureDevice> defaultAudioDevice() override;

    // Both tell the change handlers, as a plugged or unplugged device would.
    void setVideoDevices(QList<CaptureDevice> devices);
    void setDefaultAudioDevice(std::optional<CaptureDevice> device);

    int addChangeHandler(ChangeHandler handler) override;
    void removeChangeHandler(int id) override;

private:
    void notifyChange();

    std::mutex m_mutex;
    std::map<int, ChangeHandler> m_handlers;
    int m_nextHandler = 1;
    QList<CaptureDevice> m_videoDevices;
    std::optional<CaptureDevice> m_audioDevice;
};
