#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/GstChain.h"
#include "platform/media/PreviewSink.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

// Before the view has said how big it is.
constexpr int defaultPreviewWidth = 960;
// A huge window never asks the pipeline for more than a 4K picture.
constexpr int largestPreviewSide = 4096;

// Smallest size of the picture's proportions that covers `target`; the view
// cuts off the overflow in one direction.
QSize coverSize(QSize source, QSize target)
{
    if (source.isEmpty() || target.isEmpty()) {
        return {};
    }
    const double scale = std::max(double(target.width()) / source.width(), double(target.height()) / source.height());
    double width = std::max<double>(target.width(), std::ceil(source.width() * scale - 1e-6));
    double height = std::max<double>(target.height(), std::ceil(source.height() * scale - 1e-6));
    const double largest = std::max(width, height);
    if (largest > largestPreviewSide) {
        width = std::floor(width * largestPreviewSide / largest);
        height = std::floor(height * largestPreviewSide / largest);
    }
    return {std::max(1, int(width)), std::max(1, int(height))};
}

GstCapsPtr previewCaps(QSize source, QSize target)
{
    const QSize size = coverSize(source, target);
    // BGRx in memory is QImage's RGB32 on little-endian machines.
    const QString description = size.isEmpty()
        ? QStringLiteral("video/x-raw,format=BGRx,width=[1,%1],pixel-aspect-ratio=1/1").arg(defaultPreviewWidth)
        : QStringLiteral("video/x-raw,format=BGRx,width=%1,height=%2,pixel-aspect-ratio=1/1")
              .arg(size.width())
              .arg(size.height());
    return GstCapsPtr(gst_caps_from_string(description.toUtf8().constData()));
}

// The mapped buffer behind a preview QImage; the image's cleanup releases it.
struct MappedSample {
    GstSample *sample = nullptr;
    GstVideoFrame frame;
};

void releaseMappedSample(void *info)
{
    auto *mapped = static_cast<MappedSample *>(info);
    gst_video_frame_unmap(&mapped->frame);
    gst_sample_unref(mapped->sample);
    delete mapped;
}

} // namespace

bool CaptureSessionEngine::buildPreviewChain(Branch &branch, GstElement *tee)
{
    GstElement *queue = GstChain::make("queue");
    if (queue) {
        // Never more than two frames waiting: the preview shows the newest one
        // and must not hold the camera (or the recording) back.
        g_object_set(queue, "max-size-buffers", 2, "max-size-bytes", 0, "max-size-time", guint64(0), nullptr);
        gst_util_set_object_arg(G_OBJECT(queue), "leaky", "downstream");
    }
    // One pass that scales and converts: the full-size frame is read once and
    // only the view-sized one is written.
    GstPtr<GstElementFactory> oneStep(gst_element_factory_find("videoconvertscale"));
    GstElement *scale = GstChain::make(oneStep ? "videoconvertscale" : "videoscale");
    GstElement *convert = oneStep ? nullptr : GstChain::make("videoconvert");
    GstElement *filter = GstChain::make("capsfilter", "preview-caps");
    GstElement *sink = GstChain::make("appsink", "preview-sink");
    if (sink) {
        g_object_set(
            sink, "sync", FALSE, "async", FALSE, "max-buffers", 1, "drop", TRUE, "enable-last-sample", FALSE, nullptr);
        GstAppSinkCallbacks callbacks = {};
        callbacks.new_sample
            = [](GstAppSink *appsink, gpointer engine) { return onPreviewSample(GST_ELEMENT(appsink), engine); };
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    }
    if (queue) {
        // A new preview size is the scaler's business alone: asked of the
        // camera, a renegotiation can stall it (PipeWire's source does).
        GstPtr<GstPad> queueInput(gst_element_get_static_pad(queue, "sink"));
        gst_pad_add_probe(
            queueInput.get(), GST_PAD_PROBE_TYPE_EVENT_UPSTREAM,
            [](GstPad *, GstPadProbeInfo *info, gpointer) {
                return GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_RECONFIGURE ? GST_PAD_PROBE_DROP
                                                                                               : GST_PAD_PROBE_OK;
            },
            nullptr, nullptr);
    }
    if (scale) {
        GstPtr<GstPad> scaleInput(gst_element_get_static_pad(scale, "sink"));
        gst_pad_add_probe(
            scaleInput.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &CaptureSessionEngine::onPreviewCaps, this, nullptr);
    }
    {
        std::lock_guard lock(m_previewCapsMutex);
        m_previewFilter = GstPtr<GstElement>::ref(filter);
        m_previewSourceSize = {};
        applyPreviewCaps();
    }
    GstBin *bin = GST_BIN(m_pipeline.get());
    const bool built = oneStep ? GstChain::addAndLink(bin, {queue, scale, filter, sink}, &branch.elements)
                               : GstChain::addAndLink(bin, {queue, scale, convert, filter, sink}, &branch.elements);
    return built && gst_element_link(tee, queue);
}

void CaptureSessionEngine::setPreviewTargetSize(QSize devicePixels)
{
    std::lock_guard lock(m_previewCapsMutex);
    if (m_previewTargetSize == devicePixels) {
        return;
    }
    m_previewTargetSize = devicePixels;
    applyPreviewCaps();
}

// With m_previewCapsMutex held. Setting the filter's caps asks the scaler to
// renegotiate at its next frame; no state change, so any thread may do it.
void CaptureSessionEngine::applyPreviewCaps()
{
    if (!m_previewFilter) {
        return;
    }
    const GstCapsPtr wanted = previewCaps(m_previewSourceSize, m_previewTargetSize);
    GstCaps *current = nullptr;
    g_object_get(m_previewFilter.get(), "caps", &current, nullptr);
    const GstCapsPtr held(current);
    if (!held || !gst_caps_is_equal(held.get(), wanted.get())) {
        g_object_set(m_previewFilter.get(), "caps", wanted.get(), nullptr);
    }
}

GstPadProbeReturn CaptureSessionEngine::onPreviewCaps(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) {
        return GST_PAD_PROBE_OK;
    }
    GstCaps *caps = nullptr;
    gst_event_parse_caps(event, &caps);
    GstVideoInfo videoInfo;
    if (!caps || !gst_video_info_from_caps(&videoInfo, caps)) {
        return GST_PAD_PROBE_OK;
    }
    // The size as shown: non-square pixels are stretched to square ones.
    const int shownWidth = videoInfo.par_d > 0
        ? int(std::lround(double(videoInfo.width) * videoInfo.par_n / videoInfo.par_d))
        : videoInfo.width;
    const QSize source(shownWidth, videoInfo.height);
    // The camera's size is known only now, before the scaler sees these caps:
    // the new output size is in place when it negotiates.
    auto *engine = static_cast<CaptureSessionEngine *>(data);
    std::lock_guard lock(engine->m_previewCapsMutex);
    if (engine->m_previewSourceSize != source) {
        engine->m_previewSourceSize = source;
        engine->applyPreviewCaps();
    }
    return GST_PAD_PROBE_OK;
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
    GstVideoInfo info;
    if (engine->m_previewSinks.empty() || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample))) {
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }
    auto *mapped = new MappedSample{sample, {}};
    if (!gst_video_frame_map(&mapped->frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
        gst_sample_unref(sample);
        delete mapped;
        return GST_FLOW_OK;
    }
    // The image reads the buffer in place; the sample goes back to the
    // pipeline when the last copy of the image is released.
    const QImage frame(static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&mapped->frame, 0)),
        GST_VIDEO_FRAME_WIDTH(&mapped->frame), GST_VIDEO_FRAME_HEIGHT(&mapped->frame),
        GST_VIDEO_FRAME_PLANE_STRIDE(&mapped->frame, 0), QImage::Format_RGB32, &releaseMappedSample, mapped);
    for (PreviewSink *sink : engine->m_previewSinks) {
        sink->offer(frame);
    }
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
