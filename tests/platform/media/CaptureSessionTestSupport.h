#pragma once

#include "capture/TestDevices.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/MovieFileOutput.h"

#include <QElapsedTimer>
#include <QThread>

#include <memory>

// A running session with a test camera, optionally a test tone, and an output.
struct RunningSession {
    CaptureSession session;
    MovieFileOutput output;

    explicit RunningSession(bool withMicrophone = true, SessionPreset preset = SessionPreset::p1280x720,
        CaptureDevice camera = TestDevices::camera(QStringLiteral("Pattern"), QStringLiteral("t:1")))
    {
        session.beginConfiguration();
        session.setSessionPreset(preset);
        session.addInput(CaptureDeviceInput::make(camera, nullptr));
        if (withMicrophone) {
            session.addInput(CaptureDeviceInput::make(TestDevices::microphone(), nullptr));
        }
        session.addOutput(&output);
        session.commitConfiguration();
        session.startRunning();
    }

    bool waitForPreviewFrames(qint64 frames, int timeoutMs = 20000) const
    {
        const qint64 start = session.previewFrameCount();
        QElapsedTimer timer;
        timer.start();
        while (session.previewFrameCount() < start + frames && timer.elapsed() < timeoutMs) {
            QThread::msleep(5);
        }
        return session.previewFrameCount() >= start + frames;
    }
};
