#include "platform/media/CaptureAudioFeed.h"
#include "platform/media/CaptureDeviceBackend.h"
#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/GstChain.h"
#include "platform/media/PipelineTime.h"

#include "platform/Log.h"

#include <gst/app/gstappsink.h>

namespace {

constexpr int microphoneRate = 48000;
// What the speech engine takes.
constexpr const char *speechCaps = "audio/x-raw,format=F32LE,rate=16000,channels=1,layout=interleaved";
// A listener that falls behind loses old sound, never holds the take back.
constexpr guint64 speechQueueTime = 2 * GST_SECOND;
// Past the take's own queue: sound is lost only when both are full, and by
// then the take has had no picture for seconds.
constexpr guint64 takeQueueTime = 2 * GST_SECOND;
// The meter's rate: smooth to the eye, and a bus message is cheap at that pace.
constexpr guint64 levelInterval = 40 * GST_MSECOND;

// A reference to an element the bin took; none when it did not.
GstPtr<GstElement> ownedBy(GstBin *bin, GstElement *element)
{
    if (!element || GST_OBJECT_PARENT(element) != GST_OBJECT(bin)) {
        return {};
    }
    return GstPtr<GstElement>::ref(element);
}

} // namespace

void CaptureSessionEngine::applyVideo(const std::shared_ptr<CaptureDeviceInput> &input, SessionPreset preset)
{
    if (!input) {
        if (m_video) {
            if (m_recording) {
                endRecording(m_recording);
            }
            dropBranch(m_video);
        }
        return;
    }
    const CaptureMode mode = CaptureDeviceFormats::modeForPreset(input->device().backend()->caps.get(), preset);
    if (m_video && m_video->deviceID == input->device().uniqueID() && !m_video->failed) {
        m_video->input = input;
        if (m_video->mode.size == mode.size && m_video->mode.encoding == mode.encoding) {
            return;
        }
        // A new size mid-recording would break the file; it applies once the
        // recording ends.
        if (m_recording) {
            return;
        }
    } else if (m_recording) {
        endRecording(m_recording);
    }
    dropBranch(m_video);
    m_video = buildVideoBranch(input, mode);
}

std::unique_ptr<CaptureSessionEngine::Branch> CaptureSessionEngine::buildVideoBranch(
    const std::shared_ptr<CaptureDeviceInput> &input, CaptureMode mode)
{
    auto branch = std::make_unique<Branch>();
    branch->input = input;
    branch->deviceID = input->device().uniqueID();
    branch->mode = mode;
    branch->requestedCaps = CaptureDeviceFormats::sourceCaps(mode);

    QString error;
    GstElement *source = input->device().backend()->createSource(&error);
    if (!source) {
        Log::line(QStringLiteral("❌ 摄像头无法启动: ") + error);
        branch->failed = true;
        return branch;
    }
    GstElement *filter = GstChain::make("capsfilter");
    if (filter) {
        g_object_set(filter, "caps", branch->requestedCaps.get(), nullptr);
    }
    // JPEG cameras: decoded once here, for the preview and the recording alike.
    GstElement *decoder = nullptr;
    if (mode.encoding == CaptureEncoding::jpeg) {
        decoder = GstChain::make(CaptureDeviceFormats::jpegDecoderFactory().toUtf8().constData());
        if (decoder && g_object_class_find_property(G_OBJECT_GET_CLASS(decoder), "max-errors")) {
            // A webcam sends a broken picture now and then; skip it, keep the camera.
            g_object_set(decoder, "max-errors", -1, nullptr);
        }
    }
    GstElement *tee = GstChain::make("tee", "video-tee");
    if (tee) {
        g_object_set(tee, "allow-not-linked", TRUE, nullptr);
    }
    // Both chains go into the pipeline whatever happens, so dropping the branch frees them.
    GstBin *pipeline = GST_BIN(m_pipeline.get());
    const bool decodable = mode.encoding == CaptureEncoding::raw || decoder;
    const bool camera = decoder ? GstChain::addAndLink(pipeline, {source, filter, decoder, tee}, &branch->elements)
                                : GstChain::addAndLink(pipeline, {source, filter, tee}, &branch->elements);
    branch->tee = ownedBy(pipeline, tee);
    const bool linked = decodable && camera && branch->tee && buildPreviewChain(*branch, tee);
    if (!linked || !startBranch(*branch)) {
        Log::line(QStringLiteral("❌ 摄像头无法启动: ") + input->device().localizedName());
        branch->failed = true;
    }
    return branch;
}

void CaptureSessionEngine::applyAudio(const std::shared_ptr<CaptureDeviceInput> &input)
{
    if (m_audio && input && m_audio->deviceID == input->device().uniqueID() && !m_audio->failed) {
        m_audio->input = input; // the same microphone put back: keep it running
        return;
    }
    if (!m_audio && !input) {
        return;
    }
    if (m_recording && m_recording->hasAudio) {
        endRecording(m_recording);
    }
    dropBranch(m_audio);
    if (input) {
        m_audio = buildAudioBranch(input);
    }
}

std::unique_ptr<CaptureSessionEngine::Branch> CaptureSessionEngine::buildAudioBranch(
    const std::shared_ptr<CaptureDeviceInput> &input)
{
    auto branch = std::make_unique<Branch>();
    branch->input = input;
    branch->deviceID = input->device().uniqueID();

    QString error;
    GstElement *source = input->device().backend()->createSource(&error);
    if (!source) {
        Log::line(QStringLiteral("❌ 麦克风无法启动: ") + error);
        branch->failed = true;
        return branch;
    }
    GstElement *convert = GstChain::make("audioconvert");
    GstElement *resample = GstChain::make("audioresample");
    GstElement *filter = GstChain::make("capsfilter");
    if (filter) {
        const QByteArray caps = QStringLiteral("audio/x-raw,rate=%1,channels=[1,2]").arg(microphoneRate).toUtf8();
        GstCapsPtr capsPtr(gst_caps_from_string(caps.constData()));
        g_object_set(filter, "caps", capsPtr.get(), nullptr);
    }
    // Measures what the take records, on the same capture; a missing element
    // costs the meter only.
    GstElement *level = GstChain::make("level");
    if (level) {
        g_object_set(level, "interval", levelInterval, "post-messages", TRUE, nullptr);
    }
    GstElement *tee = GstChain::make("tee", "audio-tee");
    if (tee) {
        g_object_set(tee, "allow-not-linked", TRUE, nullptr);
    }
    const bool linked = level
        ? GstChain::addAndLink(
            GST_BIN(m_pipeline.get()), {source, convert, resample, filter, level, tee}, &branch->elements)
        : GstChain::addAndLink(GST_BIN(m_pipeline.get()), {source, convert, resample, filter, tee}, &branch->elements);
    // Without its own chain the listener is deaf, but the take still records.
    if (m_speechFeed && linked && ownedBy(GST_BIN(m_pipeline.get()), tee) && !buildSpeechChain(*branch, tee)) {
        Log::line(QStringLiteral("❌ 语音监听无法接入麦克风: ") + input->device().localizedName());
    }
    // Takes link behind a queue of their own: a take that holds its sound
    // back (waiting for a first picture that does not come) must not stall
    // the listener, which has to hear the stop.
    GstElement *takeQueue = GstChain::make("queue", "take-audio-queue");
    if (takeQueue) {
        g_object_set(takeQueue, "max-size-buffers", 0, "max-size-bytes", 0, "max-size-time", takeQueueTime, nullptr);
        gst_util_set_object_arg(G_OBJECT(takeQueue), "leaky", "downstream");
        // An allocation query waits for the queues behind it to drain, and a
        // take holding its sound back never drains: answered here, it cannot
        // hold up the microphone's thread.
        GstPtr<GstPad> input(gst_element_get_static_pad(takeQueue, "sink"));
        gst_pad_add_probe(
            input.get(), GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM,
            [](GstPad *, GstPadProbeInfo *info, gpointer) {
                return GST_QUERY_TYPE(GST_PAD_PROBE_INFO_QUERY(info)) == GST_QUERY_ALLOCATION ? GST_PAD_PROBE_DROP
                                                                                              : GST_PAD_PROBE_OK;
            },
            nullptr, nullptr);
    }
    GstElement *takeTee = GstChain::make("tee", "take-audio-tee");
    if (takeTee) {
        g_object_set(takeTee, "allow-not-linked", TRUE, nullptr);
    }
    // Added whatever happened above, so dropping the branch frees them.
    const bool takeChain = GstChain::addAndLink(GST_BIN(m_pipeline.get()), {takeQueue, takeTee}, &branch->elements);
    const bool takeLinked = linked && takeChain && gst_element_link(tee, takeQueue);
    branch->tee = ownedBy(GST_BIN(m_pipeline.get()), takeTee);
    if (!takeLinked || !startBranch(*branch)) {
        Log::line(QStringLiteral("❌ 麦克风无法启动: ") + input->device().localizedName());
        branch->failed = true;
    }
    return branch;
}

bool CaptureSessionEngine::buildSpeechChain(Branch &branch, GstElement *tee)
{
    GstElement *queue = GstChain::make("queue", "speech-queue");
    if (queue) {
        g_object_set(queue, "max-size-buffers", 0, "max-size-bytes", 0, "max-size-time", speechQueueTime, nullptr);
        gst_util_set_object_arg(G_OBJECT(queue), "leaky", "downstream");
    }
    GstElement *convert = GstChain::make("audioconvert");
    GstElement *resample = GstChain::make("audioresample");
    GstElement *sink = GstChain::make("appsink", "speech-sink");
    if (sink) {
        GstCapsPtr caps(gst_caps_from_string(speechCaps));
        // Timestamps are kept as they are: the listener places a phrase on the
        // take's own clock by them.
        g_object_set(sink, "caps", caps.get(), "sync", FALSE, "async", FALSE, "max-buffers", 64, "drop", TRUE,
            "enable-last-sample", FALSE, nullptr);
        GstAppSinkCallbacks callbacks = {};
        callbacks.new_sample
            = [](GstAppSink *appsink, gpointer engine) { return onSpeechSample(GST_ELEMENT(appsink), engine); };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    }
    const bool built
        = GstChain::addAndLink(GST_BIN(m_pipeline.get()), {queue, convert, resample, sink}, &branch.elements);
    return built && gst_element_link(tee, queue);
}

GstFlowReturn CaptureSessionEngine::onSpeechSample(GstElement *appsink, gpointer data)
{
    auto *engine = static_cast<CaptureSessionEngine *>(data);
    GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(appsink));
    if (!sample) {
        return GST_FLOW_EOS;
    }
    const double captured = PipelineTime::ofSample(appsink, sample);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        engine->m_speechFeed->deliver(
            engine->m_speechSession, reinterpret_cast<const float *>(map.data), map.size / sizeof(float), captured);
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void CaptureSessionEngine::publishMicrophone(const QString &reason)
{
    // Called with the pipeline lock held, once the branch is as configured.
    if (!m_speechFeed) {
        return;
    }
    if (m_audio && !m_audio->failed) {
        m_speechFeed->setMicrophone(m_speechSession, CaptureAudioFeed::Microphone::running);
    } else {
        m_speechFeed->setMicrophone(m_speechSession, CaptureAudioFeed::Microphone::none,
            reason.isEmpty() && m_audio ? QStringLiteral("麦克风无法启动") : reason);
    }
}

bool CaptureSessionEngine::isAudioFlowing() const
{
    std::lock_guard lock(m_pipelineMutex);
    if (!m_audio || m_audio->failed || m_audio->elements.empty()) {
        return false;
    }
    GstState state = GST_STATE_NULL;
    gst_element_get_state(m_audio->elements.front().get(), &state, nullptr, 0);
    return state == GST_STATE_PLAYING;
}
