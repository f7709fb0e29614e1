#pragma once

#include "platform/media/CaptureDevice.h"
#include "platform/media/FixedCapturePermissions.h"
#include "platform/media/StaticDeviceProvider.h"

#include <memory>

// Devices made of GStreamer test sources, for tests that must not depend on
// the machine's hardware.
namespace TestDevices {

// A live test pattern that can deliver any size up to `maxWidth` x `maxHeight`.
inline CaptureDevice camera(const QString &name, const QString &id, int maxWidth = 1920, int maxHeight = 1080)
{
    return CaptureDevice::fromLaunchDescription(name, id, MediaType::video,
        QStringLiteral("videotestsrc is-live=true pattern=ball"),
        QStringLiteral("video/x-raw,width=[16,%1],height=[16,%2],framerate=[1/1,60/1]").arg(maxWidth).arg(maxHeight));
}

inline CaptureDevice microphone(
    const QString &name = QStringLiteral("Test Tone"), const QString &id = QStringLiteral("test:tone"))
{
    return CaptureDevice::fromLaunchDescription(name, id, MediaType::audio,
        QStringLiteral("audiotestsrc is-live=true wave=sine freq=440"), QStringLiteral("audio/x-raw"));
}

// A device whose source cannot be made.
inline CaptureDevice broken(const QString &name, MediaType mediaType)
{
    return CaptureDevice::fromLaunchDescription(
        name, QStringLiteral("test:broken"), mediaType, QStringLiteral("no_such_element_veltroscope"), QString());
}

inline std::shared_ptr<StaticDeviceProvider> provider(
    QList<CaptureDevice> cameras, std::optional<CaptureDevice> mic = microphone())
{
    return std::make_shared<StaticDeviceProvider>(std::move(cameras), std::move(mic));
}

inline std::shared_ptr<FixedCapturePermissions> permissions(bool camera = true, bool mic = true)
{
    return std::make_shared<FixedCapturePermissions>(camera, mic);
}

} // namespace TestDevices
