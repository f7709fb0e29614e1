#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>

#include <atomic>
#include <memory>
#include <mutex>

class CaptureSession;
class CaptureSessionEngine;

// Live camera frames for the UI. The pipeline scales them to the target size
// the UI asks for, so a frame can be painted as it is. Frames reach the main
// thread as QImages over the pipeline's own memory (no copy); when the UI is
// slow, older frames are skipped rather than queued, so the camera is never
// held back.
class PreviewSink : public QObject {
    Q_OBJECT

public:
    struct Frame {
        QImage image; // read-only view of the buffer; releasing it returns the buffer
        qint64 number = 0; // counts from 1; a gap means frames were skipped
    };

    explicit PreviewSink(CaptureSession *session, QObject *parent = nullptr);
    ~PreviewSink() override;

    // Size in device pixels the frames should cover, keeping their proportions
    // (the picture overflows in one direction). Empty: a modest default.
    void setTargetSize(QSize devicePixels);
    QSize targetSize() const { return m_targetSize; }

    // The widget that shows this sink's frames; a later host takes it over.
    void setHost(QObject *host);
    QObject *host() const { return m_host; }

    Frame latestNumberedFrame() const;
    QImage latestFrame() const { return latestNumberedFrame().image; }
    qint64 framesOffered() const { return m_framesOffered; }
    qint64 framesDelivered() const { return m_framesDelivered; }

Q_SIGNALS:
    // Main thread; the newest frame, at most one pending at a time.
    void frameReady(const QImage &frame);
    void hostChanged();

private:
    friend class CaptureSessionEngine;
    void offer(QImage frame); // any thread

    std::weak_ptr<CaptureSessionEngine> m_engine;
    QSize m_targetSize;
    QPointer<QObject> m_host;
    mutable std::mutex m_frameMutex;
    Frame m_latestFrame;
    std::atomic<bool> m_deliveryPending = false;
    std::atomic<qint64> m_framesOffered = 0;
    std::atomic<qint64> m_framesDelivered = 0;
};
