#pragma once

#include "platform/media/CaptureDevice.h"

#include <QList>

#include <functional>
#include <optional>

// Where the capture layer finds devices. The program uses the system's device
// monitor; tests hand in devices of their own.
class CaptureDeviceProvider {
public:
    virtual ~CaptureDeviceProvider() = default;

    // The cameras, in a stable order.
    virtual QList<CaptureDevice> videoDevices() = 0;
    // The system's default microphone, if there is one.
    virtual std::optional<CaptureDevice> defaultAudioDevice() = 0;

    // `handler` runs, on any thread, whenever a device comes or goes, until
    // the returned id is removed. Providers that never change ignore it.
    using ChangeHandler = std::function<void()>;
    virtual int addChangeHandler(ChangeHandler handler)
    {
        (void)handler;
        return 0;
    }
    virtual void removeChangeHandler(int id) { (void)id; }
};
