#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/GstErrorText.h"
#include "platform/media/MediaAssetHandles.h"

#include "platform/Log.h"

namespace {

bool isInside(GstObject *object, GstElement *element)
{
    return object == GST_OBJECT(element) || gst_object_has_as_ancestor(object, GST_OBJECT(element));
}

} // namespace

GstBusSyncReply CaptureSessionEngine::onBusMessage(GstBus *, GstMessage *message, gpointer data)
{
    // Runs on whatever thread posted the message, often a streaming thread:
    // hand it over and do nothing else here.
    auto *engine = static_cast<CaptureSessionEngine *>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ELEMENT:
        // The meter's reading goes straight on: it touches no pipeline state.
        if (const std::optional<MicrophoneLevel> level = MicrophoneLevel::fromMessage(message)) {
            std::lock_guard lock(engine->m_levelMutex);
            if (engine->m_levelHandler) {
                engine->m_levelHandler(*level);
            }
        }
        break;
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_LATENCY: {
        // Shared, so a task dropped when the service thread stops still lets go.
        std::shared_ptr<GstMessage> held(gst_message_ref(message), media::GstMessageUnref());
        engine->m_service->post([engine, held] { engine->handleBusMessage(held.get()); });
        break;
    }
    default:
        break;
    }
    // A dropped message is the handler's to free: every one left would keep
    // its source, a whole finished recording bin among them, alive.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void CaptureSessionEngine::setAudioLevelHandler(AudioLevelHandler handler)
{
    std::lock_guard lock(m_levelMutex);
    m_levelHandler = std::move(handler);
}

void CaptureSessionEngine::handleBusMessage(GstMessage *message)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_LATENCY) {
        std::lock_guard lock(m_pipelineMutex);
        if (m_pipeline) {
            gst_bin_recalculate_latency(GST_BIN(m_pipeline.get()));
        }
        return;
    }
    const QString text = GstErrorText::of(message);

    std::shared_ptr<Recording> failedRecording;
    {
        std::lock_guard lock(m_pipelineMutex);
        std::vector<std::shared_ptr<Recording>> recordings = m_finishing;
        if (m_recording) {
            recordings.push_back(m_recording);
        }
        for (const auto &recording : recordings) {
            if (isInside(GST_MESSAGE_SRC(message), recording->bin.get())) {
                failedRecording = recording;
            }
        }
        if (!failedRecording) {
            for (Branch *branch : {m_video.get(), m_audio.get()}) {
                if (!branch) {
                    continue;
                }
                for (const auto &element : branch->elements) {
                    if (isInside(GST_MESSAGE_SRC(message), element.get())) {
                        if (!branch->failed.exchange(true)) {
                            const QString reason = QStringLiteral("采集设备出错: ")
                                + branch->input->device().localizedName() + QStringLiteral(": ") + text;
                            Log::line(QStringLiteral("❌ ") + reason);
                            if (branch == m_audio.get()) {
                                publishMicrophone(reason);
                            }
                            // A camera unplugged mid-take ends the take; what was written stays.
                            endRecordingFedBy(*branch, reason);
                        }
                        return;
                    }
                }
            }
            Log::line(QStringLiteral("❌ 采集出错: ") + text);
            return;
        }
    }
    Log::line(QStringLiteral("❌ 录制出错: ") + text);
    finishRecording(failedRecording, text);
}
