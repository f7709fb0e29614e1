#include "platform/media/PreviewSink.h"

#include "platform/MainQueue.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/CaptureSessionEngine.h"

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

QImage PreviewSink::latestFrame() const
{
    std::lock_guard lock(m_frameMutex);
    return m_latestFrame;
}

void PreviewSink::offer(const QImage &frame)
{
    {
        std::lock_guard lock(m_frameMutex);
        m_latestFrame = frame;
    }
    if (m_deliveryPending.exchange(true)) {
        return; // the posted delivery will pick up this newer frame
    }
    MainQueue::post(this, [this] {
        m_deliveryPending = false;
        ++m_framesDelivered;
        Q_EMIT frameReady(latestFrame());
    });
}
