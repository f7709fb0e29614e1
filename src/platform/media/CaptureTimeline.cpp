#include "platform/media/CaptureTimeline.h"

namespace {
constexpr auto streamProbe
    = GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM);
constexpr auto gateProbe
    = GstPadProbeType(GST_PAD_PROBE_TYPE_BLOCK | GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST);
} // namespace

std::shared_ptr<CaptureTimeline> CaptureTimeline::create()
{
    return std::shared_ptr<CaptureTimeline>(new CaptureTimeline());
}

gulong CaptureTimeline::addProbe(GstPad *pad, GstPadProbeType type, GstPadProbeCallback callback, Stream *stream)
{
    // Each probe keeps the timeline alive for as long as it is installed.
    auto *data = new ProbeData{shared_from_this(), stream};
    return gst_pad_add_probe(pad, type, callback, data, [](gpointer data) { delete static_cast<ProbeData *>(data); });
}

void CaptureTimeline::attachVideo(GstPad *entry)
{
    m_video.isVideo = true;
    addProbe(entry, streamProbe, &CaptureTimeline::onStream, &m_video);
}

void CaptureTimeline::attachAudio(GstPad *gate, GstPad *entry)
{
    {
        std::lock_guard lock(m_gateMutex);
        if (!hasStarted()) {
            m_gatePad = gate;
            m_gateProbe = addProbe(gate, gateProbe, &CaptureTimeline::onGate, nullptr);
        }
    }
    addProbe(entry, streamProbe, &CaptureTimeline::onStream, &m_audio);
}

void CaptureTimeline::release()
{
    std::lock_guard lock(m_gateMutex);
    if (m_gatePad && m_gateProbe != 0) {
        gst_pad_remove_probe(m_gatePad, m_gateProbe);
    }
    m_gateProbe = 0;
    m_gatePad = nullptr;
}

GstPadProbeReturn CaptureTimeline::onGate(GstPad *, GstPadProbeInfo *, gpointer)
{
    // Stays blocked until release() removes this probe.
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn CaptureTimeline::onStream(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *probe = static_cast<ProbeData *>(data);
    return probe->timeline->retime(*probe->stream, info);
}

GstPadProbeReturn CaptureTimeline::retime(Stream &stream, GstPadProbeInfo *info)
{
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT) {
            return GST_PAD_PROBE_OK;
        }
        // Keep the live segment to read running times; downstream sees the
        // take's own, which starts at 0.
        gst_event_copy_segment(event, &stream.upstream);
        stream.hasSegment = stream.upstream.format == GST_FORMAT_TIME;
        GstSegment take;
        gst_segment_init(&take, GST_FORMAT_TIME);
        GstEvent *replacement = gst_event_new_segment(&take);
        gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = replacement;
        return GST_PAD_PROBE_OK;
    }
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList *list = gst_buffer_list_make_writable(GST_PAD_PROBE_INFO_BUFFER_LIST(info));
        GST_PAD_PROBE_INFO_DATA(info) = list;
        struct Context {
            CaptureTimeline *timeline;
            Stream *stream;
        } context{this, &stream};
        gst_buffer_list_foreach(
            list,
            [](GstBuffer **buffer, guint, gpointer data) -> gboolean {
                auto *context = static_cast<Context *>(data);
                if (!context->timeline->retimeBuffer(*context->stream, buffer)) {
                    gst_buffer_unref(*buffer);
                    *buffer = nullptr; // removes it from the list
                }
                return TRUE;
            },
            &context);
        return gst_buffer_list_length(list) > 0 ? GST_PAD_PROBE_OK : GST_PAD_PROBE_DROP;
    }
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!retimeBuffer(stream, &buffer)) {
        return GST_PAD_PROBE_DROP;
    }
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

bool CaptureTimeline::retimeBuffer(Stream &stream, GstBuffer **buffer)
{
    if (!stream.hasSegment) {
        return false;
    }
    const GstClockTime runningTime
        = gst_segment_to_running_time(&stream.upstream, GST_FORMAT_TIME, GST_BUFFER_PTS(*buffer));
    if (!GST_CLOCK_TIME_IS_VALID(runningTime)) {
        return false;
    }
    GstClockTime start = m_start.load();
    if (stream.isVideo && start == GST_CLOCK_TIME_NONE) {
        const bool first = m_start.compare_exchange_strong(start, runningTime);
        if (first) {
            start = runningTime;
        }
        release();
        if (first && m_onStart) {
            m_onStart();
        }
    }
    // Sound before the first picture, and anything older than it, stays out:
    // the muxer would drop an early key frame and leave the file starting on
    // pictures that cannot be decoded.
    if (start == GST_CLOCK_TIME_NONE || runningTime < start) {
        return false;
    }
    *buffer = gst_buffer_make_writable(*buffer);
    GST_BUFFER_PTS(*buffer) = runningTime - start;
    GST_BUFFER_DTS(*buffer) = GST_CLOCK_TIME_NONE;
    return true;
}
