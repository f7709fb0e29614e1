#include "platform/media/StaticDeviceProvider.h"

StaticDeviceProvider::StaticDeviceProvider(QList<CaptureDevice> videoDevices, std::optional<CaptureDevice> audioDevice)
    : m_videoDevices(std::move(videoDevices)), m_audioDevice(std::move(audioDevice))
{
}

QList<CaptureDevice> StaticDeviceProvider::videoDevices()
{
    std::lock_guard lock(m_mutex);
    return m_videoDevices;
}

std::optional<CaptureDevice> StaticDeviceProvider::defaultAudioDevice()
{
    std::lock_guard lock(m_mutex);
    return m_audioDevice;
}

void StaticDeviceProvider::setVideoDevices(QList<CaptureDevice> devices)
{
    {
        std::lock_guard lock(m_mutex);
        m_videoDevices = std::move(devices);
    }
    notifyChange();
}

void StaticDeviceProvider::setDefaultAudioDevice(std::optional<CaptureDevice> device)
{
    {
        std::lock_guard lock(m_mutex);
        m_audioDevice = std::move(device);
    }
    notifyChange();
}

int StaticDeviceProvider::addChangeHandler(ChangeHandler handler)
{
    std::lock_guard lock(m_mutex);
    const int id = m_nextHandler++;
    m_handlers.emplace(id, std::move(handler));
    return id;
}

void StaticDeviceProvider::removeChangeHandler(int id)
{
    std::lock_guard lock(m_mutex);
    m_handlers.erase(id);
}

void StaticDeviceProvider::notifyChange()
{
    // Called without the lock: a handler may read the devices.
    std::map<int, ChangeHandler> handlers;
    {
        std::lock_guard lock(m_mutex);
        handlers = m_handlers;
    }
    for (const auto &[id, handler] : handlers) {
        handler();
    }
}
