#pragma once

#include "capture/CameraManager.h"
#include "capture/TestDevices.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/MovieFileOutput.h"

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

// The session's work runs on the manager's worker: a take is under way once
// `isRecording` is published.
inline bool waitForRecording(const CameraManager &manager, bool recording = true, int timeoutMs = 15000)
{
    return MainLoop::waitUntil([&] { return manager.isRecording() == recording; }, timeoutMs);
}

inline MovieFileOutput *outputOf(const CameraManager &manager)
{
    const auto outputs = manager.captureSession()->outputs();
    return outputs.isEmpty() ? nullptr : outputs.first();
}

// The output counts finished files just before it reports one.
inline bool waitForFinishedFile(const CameraManager &manager, int finished = 1, int timeoutMs = 30000)
{
    return MainLoop::waitUntil(
        [&] {
            MovieFileOutput *output = outputOf(manager);
            return output && output->finishedRecordings() >= finished;
        },
        timeoutMs);
}

inline bool waitForPreset(const CameraManager &manager, SessionPreset preset, int timeoutMs = 15000)
{
    return MainLoop::waitUntil([&] { return manager.captureSession()->sessionPreset() == preset; }, timeoutMs);
}

// One take as the recording screen makes it: resolution and ratio, start,
// record for `ms`, stop. Returns the path, empty when it never recorded.
inline QString recordTake(CameraManager &manager, VideoResolution resolution, VideoAspectRatio ratio, int ms)
{
    const int finished = outputOf(manager) ? outputOf(manager)->finishedRecordings() : 0;
    manager.configureResolution(resolution, ratio);
    manager.startRecording();
    if (!waitForRecording(manager)) {
        return {};
    }
    MainLoop::spin(ms);
    manager.stopRecording();
    if (!waitForRecording(manager, false) || !waitForFinishedFile(manager, finished + 1)) {
        return {};
    }
    return manager.currentRecordingURL().value_or(QString());
}

} // namespace CameraManagerTest
