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
    std::lock_guard lock(m_mutex);
    m_videoDevices = std::move(devices);
}

void StaticDeviceProvider::setDefaultAudioDevice(std::optional<CaptureDevice> device)
{
    std::lock_guard lock(m_mutex);
    m_audioDevice = std::move(device);
}
