#include "platform/media/ExportGraph.h"

namespace {

// The demuxer may start a file's segment at its earliest sample of any track
// (a take's sound may begin a sample after its first picture); the muxer would
// then clip a track's first sample as outside it. The copy keeps every sample
// from 0 on.
GstPadProbeReturn onDemuxedEvent(GstPadProbeInfo *info)
{
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT) {
        return GST_PAD_PROBE_OK;
    }
    GstSegment segment;
    gst_event_copy_segment(event, &segment);
    if (segment.format != GST_FORMAT_TIME || segment.start == 0) {
        return GST_PAD_PROBE_OK;
    }
    segment.start = 0;
    segment.time = 0;
    segment.position = 0;
    GstEvent *fromZero = gst_event_new_segment(&segment);
    gst_event_set_seqnum(fromZero, gst_event_get_seqnum(event));
    gst_event_unref(event);
    GST_PAD_PROBE_INFO_DATA(info) = fromZero;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn onDemuxedBuffer(GstPad *, GstPadProbeInfo *info, ExportGraph *graph)
{
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        return onDemuxedEvent(info);
    }
    graph->markProgress();
    return graph->isPastEnd(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info))) ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

GstPadProbeReturn onDemuxedVideo(GstPad *pad, GstPadProbeInfo *info, ExportGraph *graph)
{
    const GstPadProbeReturn kept = onDemuxedBuffer(pad, info, graph);
    if (kept == GST_PAD_PROBE_OK && (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER)) {
        ++graph->copiedVideoSamples;
    }
    return kept;
}

} // namespace

bool ExportGraph::isPastEnd(GstClockTime time) const
{
    return GST_CLOCK_TIME_IS_VALID(end) && GST_CLOCK_TIME_IS_VALID(time) && time >= end;
}

void ExportGraph::postError(const QString &text)
{
    GError *error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, text.toUtf8().constData());
    gst_element_post_message(pipeline, gst_message_new_error(GST_OBJECT(pipeline), error, nullptr));
    g_error_free(error);
}

void ExportGraph::copyTo(GstPad *pad, bool isVideo)
{
    gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        isVideo ? GstPadProbeCallback(onDemuxedVideo) : GstPadProbeCallback(onDemuxedBuffer), this, nullptr);
}
