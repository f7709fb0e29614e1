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

// A camera with a picture full of detail (colour bars), made of `source`:
// a launch description that ends in the camera's pictures.
inline CaptureDevice patternCamera(
    const QString &name, const QString &id, const QString &source, int maxWidth = 1920, int maxHeight = 1080)
{
    return CaptureDevice::fromLaunchDescription(name, id, MediaType::video, source,
        QStringLiteral("video/x-raw,width=[16,%1],height=[16,%2],framerate=[1/1,60/1]").arg(maxWidth).arg(maxHeight));
}

inline CaptureDevice barsCamera(
    const QString &name = QStringLiteral("Bars"), const QString &id = QStringLiteral("test:bars"))
{
    return patternCamera(name, id, QStringLiteral("videotestsrc is-live=true pattern=smpte"));
}

// Pictures that reach the session 60 ms after they were taken, as a webcam's
// do: a take always starts while the next picture is on its way.
inline CaptureDevice lateCamera()
{
    return patternCamera(QStringLiteral("Late Bars"), QStringLiteral("test:late"),
        QStringLiteral("videotestsrc is-live=true pattern=smpte ! queue min-threshold-time=60000000 "
                       "max-size-buffers=0 max-size-bytes=0 max-size-time=1000000000"));
}

// Noise: the encoder needs its whole bitrate for it.
inline CaptureDevice noiseCamera()
{
    return patternCamera(QStringLiteral("Noise"), QStringLiteral("test:noise"),
        QStringLiteral("videotestsrc is-live=true pattern=snow"));
}

// Fails after `pictures` pictures, like a camera pulled out of its socket.
inline CaptureDevice failingCamera(int pictures)
{
    return patternCamera(QStringLiteral("Failing"), QStringLiteral("test:failing"),
        QStringLiteral("videotestsrc is-live=true pattern=smpte ! identity error-after=%1").arg(pictures));
}

// A USB webcam that gives 1920 x 1080 at 30 fps only as JPEG pictures.
inline CaptureDevice jpegCamera()
{
    return CaptureDevice::fromLaunchDescription(QStringLiteral("JPEG Webcam"), QStringLiteral("test:jpeg"),
        MediaType::video,
        QStringLiteral("videotestsrc is-live=true pattern=smpte ! "
                       "video/x-raw,format=I420,width=1920,height=1080,framerate=30/1 ! jpegenc quality=50"),
        QStringLiteral("image/jpeg,width=1920,height=1080,framerate=30/1"));
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
