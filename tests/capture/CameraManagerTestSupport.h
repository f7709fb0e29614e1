#pragma once

#include "capture/CameraManager.h"
#include "capture/TestDevices.h"
#include "platform/media/CaptureSession.h"

#include "support/LogCapture.h"
#include "support/MainLoop.h"

#include <memory>

namespace CameraManagerTest {

inline QList<CaptureDevice> twoCameras()
{
    return {TestDevices::camera(QStringLiteral("Front Pattern"), QStringLiteral("test:front")),
        TestDevices::camera(QStringLiteral("Side Pattern"), QStringLiteral("test:side"))};
}

// Waits for the background session set-up, whose last step always logs the
// audio connection test.
inline bool waitForSetup(const LogCapture &log, int timeoutMs = 8000)
{
    return MainLoop::waitUntil(
        [&] {
            return !log.linesStartingWith(QStringLiteral("✅ 音频连接已启用 active=")).isEmpty()
                || log.contains(QStringLiteral("⚠️ videoOutput 没有音频连接"));
        },
        timeoutMs);
}

inline bool waitForPreview(const CameraManager &manager, qint64 frames = 3, int timeoutMs = 8000)
{
    const qint64 start = manager.captureSession()->previewFrameCount();
    return MainLoop::waitUntil(
        [&] { return manager.captureSession()->previewFrameCount() >= start + frames; }, timeoutMs);
}

} // namespace CameraManagerTest
