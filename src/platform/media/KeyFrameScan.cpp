#include "platform/media/KeyFrameScan.h"

#include "platform/media/GstChain.h"
#include "platform/media/GstPtr.h"
#include "platform/media/MediaAssetHandles.h"

#include <cmath>

namespace {
constexpr GstClockTime scanTimeout = 60 * GST_SECOND;

struct Scan {
    GstElement *pipeline = nullptr;
    GstClockTime from = 0;
    bool hasVideo = false; // demuxer thread only
    std::optional<KeyFrameScan::Frame> first;
    GstClockTime firstTime = GST_CLOCK_TIME_NONE;
};

// Pictures come in decoding order; the earliest shown after the point is kept.
GstPadProbeReturn onPicture(GstPad *, GstPadProbeInfo *info, Scan *scan)
{
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const GstClockTime shown = GST_BUFFER_PTS(buffer);
    if (GST_CLOCK_TIME_IS_VALID(shown) && shown >= scan->from
        && (!GST_CLOCK_TIME_IS_VALID(scan->firstTime) || shown < scan->firstTime)) {
        scan->firstTime = shown;
        scan->first = KeyFrameScan::Frame{double(shown) / double(GST_SECOND),
            double(GST_BUFFER_DTS_OR_PTS(buffer)) / double(GST_SECOND),
            !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT)};
    }
    return GST_PAD_PROBE_OK;
}

void onPad(GstElement *, GstPad *pad, Scan *scan)
{
    GstCaps *caps = gst_pad_get_current_caps(pad);
    const bool isVideo = caps && g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
    if (caps) {
        gst_caps_unref(caps);
    }
    GstElement *sink = GstChain::make("fakesink");
    if (!sink) {
        return;
    }
    g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(scan->pipeline), sink);
    gst_element_sync_state_with_parent(sink);
    GstPtr<GstPad> input(gst_element_get_static_pad(sink, "sink"));
    gst_pad_link(pad, input.get());
    if (isVideo && !scan->hasVideo) {
        scan->hasVideo = true;
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, GstPadProbeCallback(onPicture), scan, nullptr);
    }
}
} // namespace

std::optional<KeyFrameScan::Frame> KeyFrameScan::firstFrameFrom(const QString &path, double seconds)
{
    media::PipelineHandle pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    Scan scan;
    scan.pipeline = pipeline.get();
    scan.from = GstClockTime(std::llround(std::max(0.0, seconds) * double(GST_SECOND)));
    GstElement *source = GstChain::make("filesrc");
    GstElement *demux = GstChain::make("qtdemux");
    if (!GstChain::addAndLink(GST_BIN(pipeline.get()), {source, demux})) {
        return std::nullopt;
    }
    g_object_set(source, "location", path.toUtf8().constData(), nullptr);
    g_signal_connect(demux, "pad-added", G_CALLBACK(onPad), &scan);
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        return std::nullopt;
    }
    media::GstMessageHandle message(
        gst_bus_timed_pop_filtered(bus.get(), scanTimeout, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    const bool complete = message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS;
    pipeline.reset(); // the streaming threads stop before `scan` goes
    return complete ? scan.first : std::nullopt;
}
