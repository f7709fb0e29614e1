#include "platform/media/PreviewSink.h"

#include "platform/MainQueue.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/CaptureSessionEngine.h"

#include <utility>

PreviewSink::PreviewSink(CaptureSession *session, QObject *parent) : QObject(parent)
{
    if (session) {
        m_engine = session->engine();
        session->engine()->attachPreview(this);
    }
}

PreviewSink::~PreviewSink()
{
    if (auto engine = m_engine.lock()) {
        engine->detachPreview(this);
    }
}

void PreviewSink::setTargetSize(QSize devicePixels)
{
    if (devicePixels == m_targetSize) {
        return;
    }
    m_targetSize = devicePixels;
    if (auto engine = m_engine.lock()) {
        engine->setPreviewTargetSize(devicePixels);
    }
}

void PreviewSink::setHost(QObject *host)
{
    if (m_host == host) {
        return;
    }
    m_host = host;
    Q_EMIT hostChanged();
}

PreviewSink::Frame PreviewSink::latestNumberedFrame() const
{
    std::lock_guard lock(m_frameMutex);
    return m_latestFrame;
}

void PreviewSink::offer(QImage frame)
{
    Frame replaced;
    {
        std::lock_guard lock(m_frameMutex);
        replaced = std::exchange(m_latestFrame, Frame{std::move(frame), ++m_framesOffered});
    }
    // `replaced` goes out of scope here, outside the lock: its buffer returns
    // to the pipeline's pool.
    if (m_deliveryPending.exchange(true)) {
        return; // the posted delivery will pick up this newer frame
    }
    MainQueue::post(this, [this] {
        m_deliveryPending = false;
        ++m_framesDelivered;
        Q_EMIT frameReady(latestFrame());
    });
}
