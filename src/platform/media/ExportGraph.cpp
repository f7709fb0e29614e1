#include "platform/media/ExportGraph.h"

namespace {

// A recording may begin with frames that refer to a picture it does not hold;
// decoded, they are grey smears. Nothing before the first key frame goes on.
GstPadProbeReturn onCompressedVideo(GstPad *, GstPadProbeInfo *info, ExportGraph *graph)
{
    if (graph->hasKeyFrame) {
        return GST_PAD_PROBE_REMOVE;
    }
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT)) {
        return GST_PAD_PROBE_DROP;
    }
    graph->hasKeyFrame = true;
    return GST_PAD_PROBE_REMOVE;
}

// A demuxed stream ends where the export ends: its segment says so, for the
// frame-rate step not to fill up to the old length, and its buffers from there
// on are dropped.
GstPadProbeReturn onDemuxedToEnd(GstPad *, GstPadProbeInfo *info, ExportGraph *graph)
{
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            GstSegment segment;
            gst_event_copy_segment(event, &segment);
            if (segment.format == GST_FORMAT_TIME
                && (!GST_CLOCK_TIME_IS_VALID(segment.stop) || segment.stop > graph->end)) {
                segment.stop = graph->end;
                GstEvent *ended = gst_event_new_segment(&segment);
                gst_event_set_seqnum(ended, gst_event_get_seqnum(event));
                gst_event_unref(event);
                GST_PAD_PROBE_INFO_DATA(info) = ended;
            }
        }
        return GST_PAD_PROBE_OK;
    }
    return graph->isPastEnd(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info))) ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

// Copied video is cut in decoding order at the key frame, so every picture
// kept still has the pictures it is built on.
GstPadProbeReturn onCopiedToEnd(GstPad *, GstPadProbeInfo *info, ExportGraph *graph)
{
    const GstClockTime decoded = GST_BUFFER_DTS_OR_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
    return GST_CLOCK_TIME_IS_VALID(decoded) && decoded >= graph->copyEnd ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

GstPadProbeReturn onCopiedVideo(GstPad *, GstPadProbeInfo *, ExportGraph *graph)
{
    graph->markProgress();
    return GST_PAD_PROBE_OK;
}

// Pictures the decoder could not rebuild are left out; the frame-rate step
// repeats the last good one in their place.
GstPadProbeReturn onDecodedVideo(GstPad *, GstPadProbeInfo *info, ExportGraph *graph)
{
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const bool isBroken = GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_CORRUPTED)
        || (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_GAP) && gst_buffer_get_size(buffer) == 0);
    // A decoder that does not clip to the segment still stops at the end.
    return isBroken || graph->isPastEnd(GST_BUFFER_PTS(buffer)) ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
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

void ExportGraph::dropBeforeFirstKeyFrame(GstPad *pad)
{
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, GstPadProbeCallback(onCompressedVideo), this, nullptr);
}

void ExportGraph::endAt(GstPad *pad, bool isCopiedVideo)
{
    if (!GST_CLOCK_TIME_IS_VALID(end)) {
        return;
    }
    if (isCopiedVideo) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, GstPadProbeCallback(onCopiedToEnd), this, nullptr);
        return;
    }
    gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        GstPadProbeCallback(onDemuxedToEnd), this, nullptr);
}

void ExportGraph::countProgressAt(GstPad *pad)
{
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, GstPadProbeCallback(onCopiedVideo), this, nullptr);
}

void ExportGraph::dropBrokenPictures(GstPad *pad)
{
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, GstPadProbeCallback(onDecodedVideo), this, nullptr);
}
