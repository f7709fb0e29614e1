#pragma once

#include "platform/media/CaptureDeviceInput.h"
#include "platform/media/SessionPreset.h"

#include <QList>
#include <QSize>

#include <memory>

class CaptureSessionEngine;
class MovieFileOutput;

// One long-lived capture pipeline: a camera and a microphone in, a live
// preview and a movie-file output out. Changes made between
// beginConfiguration() and commitConfiguration() take effect together on
// commit; changes outside a transaction take effect at once. Callable from
// any thread that is not a streaming thread.
class CaptureSession {
public:
    CaptureSession();
    ~CaptureSession();
    CaptureSession(const CaptureSession &) = delete;
    CaptureSession &operator=(const CaptureSession &) = delete;

    void beginConfiguration();
    void commitConfiguration();

    QList<std::shared_ptr<CaptureDeviceInput>> inputs() const;
    bool canAddInput(const std::shared_ptr<CaptureDeviceInput> &input) const;
    void addInput(const std::shared_ptr<CaptureDeviceInput> &input);
    void removeInput(const std::shared_ptr<CaptureDeviceInput> &input);

    QList<MovieFileOutput *> outputs() const;
    bool canAddOutput(MovieFileOutput *output) const;
    void addOutput(MovieFileOutput *output);
    void removeOutput(MovieFileOutput *output);

    SessionPreset sessionPreset() const;
    bool canSetSessionPreset(SessionPreset preset) const;
    void setSessionPreset(SessionPreset preset);

    bool isRunning() const;
    void startRunning();

    // Frame size the camera delivers now; empty without a running camera.
    QSize activeVideoSize() const;
    // Frames that reached the preview since the session started (any thread).
    qint64 previewFrameCount() const;

    const std::shared_ptr<CaptureSessionEngine> &engine() const { return m_engine; }

private:
    std::shared_ptr<CaptureSessionEngine> m_engine;
};
