#include "platform/speech/CaptureAudioInput.h"

#include "platform/media/CaptureAudioFeed.h"

CaptureAudioInput::CaptureAudioInput() : CaptureAudioInput(CaptureAudioFeed::shared())
{
}

CaptureAudioInput::CaptureAudioInput(std::shared_ptr<CaptureAudioFeed> feed) : m_feed(std::move(feed))
{
}

CaptureAudioInput::~CaptureAudioInput()
{
    stop();
}

bool CaptureAudioInput::start(Sink sink, Interruption interrupted, QString *error)
{
    stop();
    if (!m_feed) {
        *error = QStringLiteral("没有找到麦克风");
        return false;
    }
    m_listener = m_feed->subscribe(
        [this, sink = std::move(sink)](const float *samples, size_t count, double captureTime) {
            m_deliveringTime.store(captureTime);
            sink(samples, count);
        },
        std::move(interrupted), error);
    return m_listener != 0;
}

void CaptureAudioInput::stop()
{
    if (m_listener != 0) {
        m_feed->unsubscribe(std::exchange(m_listener, 0));
    }
}
