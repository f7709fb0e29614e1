#pragma once

#include <QImage>
#include <QObject>

#include <atomic>
#include <memory>
#include <mutex>

class CaptureSession;
class CaptureSessionEngine;

// Live camera frames for the UI. Frames arrive on the main thread as QImage;
// when the UI is slow, older frames are skipped rather than queued, so the
// camera is never held back.
class PreviewSink : public QObject {
    Q_OBJECT

public:
    explicit PreviewSink(CaptureSession *session, QObject *parent = nullptr);
    ~PreviewSink() override;

    QImage latestFrame() const;
    qint64 framesDelivered() const { return m_framesDelivered; }

Q_SIGNALS:
    void frameReady(const QImage &frame);

private:
    friend class CaptureSessionEngine;
    void offer(const QImage &frame); // any thread

    std::weak_ptr<CaptureSessionEngine> m_engine;
    mutable std::mutex m_frameMutex;
    QImage m_latestFrame;
    std::atomic<bool> m_deliveryPending = false;
    std::atomic<qint64> m_framesDelivered = 0;
};
