#include "platform/media/CaptureDeviceBackend.h"
#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/PreviewSink.h"

#include "platform/Log.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QImage>

namespace {

constexpr int previewMaxWidth = 960;
constexpr int microphoneRate = 48000;

GstElement *makeElement(const char *factory, const char *name = nullptr)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (!element) {
        Log::line(QStringLiteral("❌ 缺少 GStreamer 组件: ") + QString::fromUtf8(factory));
    }
    return element;
}

// Adds the elements to the pipeline and links them in order; on failure the
// branch owns whatever was added so dropping it cleans up.
bool addChain(GstElement *pipeline, std::vector<GstPtr<GstElement>> &owned, std::initializer_list<GstElement *> chain)
{
    GstElement *previous = nullptr;
    bool linked = true;
    for (GstElement *element : chain) {
        if (!element) {
            linked = false;
            continue;
        }
        GstPtr<GstElement> held(element);
        gst_bin_add(GST_BIN(pipeline), element);
        owned.push_back(held);
        if (previous && linked && !gst_element_link(previous, element)) {
            linked = false;
        }
        previous = element;
    }
    return linked;
}

} // namespace

GstCapsPtr CaptureSessionEngine::videoCapsFor(const CaptureDevice &device, SessionPreset preset) const
{
    QSize size = SessionPresets::frameSize(preset);
    const bool knowsCaps = device.backend() && device.backend()->caps;
    if (size.isEmpty() || (knowsCaps && !device.supportsFrameSize(size))) {
        // `high`, or a size the camera cannot give: the best of the usual sizes it
        // offers, never above the one asked for.
        const QSize asked = size.isEmpty() ? QSize(1280, 720) : size;
        size = {};
        for (QSize candidate : {QSize(3840, 2160), QSize(1920, 1080), QSize(1280, 720), QSize(640, 480)}) {
            if (candidate.height() <= asked.height() && (!knowsCaps || device.supportsFrameSize(candidate))) {
                size = candidate;
                break;
            }
        }
    }
    if (size.isEmpty()) {
        return GstCapsPtr(gst_caps_from_string("video/x-raw"));
    }
    // Always ask for the size: left free, PipeWire's cameras fall back to 320x240.
    const QByteArray caps
        = QStringLiteral("video/x-raw,width=%1,height=%2,framerate=30/1; video/x-raw,width=%1,height=%2")
              .arg(size.width())
              .arg(size.height())
              .toUtf8();
    return GstCapsPtr(gst_caps_from_string(caps.constData()));
}

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
    GstCapsPtr caps = videoCapsFor(input->device(), preset);
    if (m_video && m_video->deviceID == input->device().uniqueID() && !m_video->failed) {
        m_video->input = input;
        if (gst_caps_is_equal(m_video->requestedCaps.get(), caps.get())) {
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
    m_video = buildVideoBranch(input, std::move(caps));
}

std::unique_ptr<CaptureSessionEngine::Branch> CaptureSessionEngine::buildVideoBranch(
    const std::shared_ptr<CaptureDeviceInput> &input, GstCapsPtr caps)
{
    auto branch = std::make_unique<Branch>();
    branch->input = input;
    branch->deviceID = input->device().uniqueID();
    branch->requestedCaps = caps;

    QString error;
    GstElement *source = input->device().backend()->createSource(&error);
    if (!source) {
        Log::line(QStringLiteral("❌ 摄像头无法启动: ") + error);
        branch->failed = true;
        return branch;
    }
    GstElement *filter = makeElement("capsfilter");
    if (filter) {
        g_object_set(filter, "caps", caps.get(), nullptr);
    }
    GstElement *tee = makeElement("tee", "video-tee");
    if (tee) {
        g_object_set(tee, "allow-not-linked", TRUE, nullptr);
        branch->tee = GstPtr<GstElement>::ref(tee);
    }
    GstElement *queue = makeElement("queue");
    if (queue) {
        g_object_set(queue, "max-size-buffers", 2, "max-size-bytes", 0, "max-size-time", guint64(0), nullptr);
        gst_util_set_object_arg(G_OBJECT(queue), "leaky", "downstream");
    }
    GstElement *convert = makeElement("videoconvert");
    GstElement *scale = makeElement("videoscale");
    GstElement *previewFilter = makeElement("capsfilter");
    if (previewFilter) {
        const QByteArray previewCaps = QStringLiteral("video/x-raw,format=BGRx,width=[1,%1],pixel-aspect-ratio=1/1")
                                           .arg(previewMaxWidth)
                                           .toUtf8();
        GstCapsPtr previewCapsPtr(gst_caps_from_string(previewCaps.constData()));
        g_object_set(previewFilter, "caps", previewCapsPtr.get(), nullptr);
    }
    GstElement *sink = makeElement("appsink", "preview-sink");
    if (sink) {
        // The preview shows the newest frame; it never holds the camera back.
        g_object_set(
            sink, "sync", FALSE, "async", FALSE, "max-buffers", 1, "drop", TRUE, "enable-last-sample", FALSE, nullptr);
        GstAppSinkCallbacks callbacks = {};
        callbacks.new_sample
            = [](GstAppSink *appsink, gpointer engine) { return onPreviewSample(GST_ELEMENT(appsink), engine); };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    }
    const bool linked = addChain(m_pipeline.get(), branch->elements, {source, filter, tee})
        && addChain(m_pipeline.get(), branch->elements, {queue, convert, scale, previewFilter, sink})
        && gst_element_link(tee, queue);
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
    GstElement *convert = makeElement("audioconvert");
    GstElement *resample = makeElement("audioresample");
    GstElement *filter = makeElement("capsfilter");
    if (filter) {
        const QByteArray caps = QStringLiteral("audio/x-raw,rate=%1,channels=[1,2]").arg(microphoneRate).toUtf8();
        GstCapsPtr capsPtr(gst_caps_from_string(caps.constData()));
        g_object_set(filter, "caps", capsPtr.get(), nullptr);
    }
    GstElement *tee = makeElement("tee", "audio-tee");
    if (tee) {
        g_object_set(tee, "allow-not-linked", TRUE, nullptr);
        branch->tee = GstPtr<GstElement>::ref(tee);
    }
    const bool linked = addChain(m_pipeline.get(), branch->elements, {source, convert, resample, filter, tee});
    if (!linked || !startBranch(*branch)) {
        Log::line(QStringLiteral("❌ 麦克风无法启动: ") + input->device().localizedName());
        branch->failed = true;
    }
    return branch;
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

GstFlowReturn CaptureSessionEngine::onPreviewSample(GstElement *appsink, gpointer data)
{
    auto *engine = static_cast<CaptureSessionEngine *>(data);
    GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(appsink));
    if (!sample) {
        return GST_FLOW_EOS;
    }
    ++engine->m_previewFrames;
    std::lock_guard lock(engine->m_previewMutex);
    if (!engine->m_previewSinks.empty()) {
        GstVideoInfo info;
        if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample))) {
            GstMapInfo map;
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                // BGRx in memory is QImage's RGB32 on little-endian machines.
                const QImage frame
                    = QImage(map.data, info.width, info.height, info.stride[0], QImage::Format_RGB32).copy();
                gst_buffer_unmap(buffer, &map);
                for (PreviewSink *sink : engine->m_previewSinks) {
                    sink->offer(frame);
                }
            }
        }
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void CaptureSessionEngine::attachPreview(PreviewSink *sink)
{
    std::lock_guard lock(m_previewMutex);
    m_previewSinks.push_back(sink);
}

void CaptureSessionEngine::detachPreview(PreviewSink *sink)
{
    std::lock_guard lock(m_previewMutex);
    std::erase(m_previewSinks, sink);
}
