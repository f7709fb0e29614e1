#include "platform/media/PipelineTime.h"

#include "platform/SteadyClock.h"
#include "platform/media/GstPtr.h"

#include <cmath>

double PipelineTime::toSteadySeconds(GstElement *element, GstClock *clock, GstClockTime runningTime)
{
    const GstClockTime taken = gst_element_get_base_time(element) + runningTime;
    const double age = (double(gst_clock_get_time(clock)) - double(taken)) / double(GST_SECOND);
    return SteadyClock::now() - age;
}

double PipelineTime::ofSample(GstElement *sink, GstSample *sample)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    const GstSegment *segment = gst_sample_get_segment(sample);
    if (!buffer || !segment || !GST_BUFFER_PTS_IS_VALID(buffer)) {
        return NAN;
    }
    const GstClockTime running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
    GstPtr<GstClock> clock(gst_element_get_clock(sink));
    if (!clock || !GST_CLOCK_TIME_IS_VALID(running)) {
        return NAN;
    }
    return toSteadySeconds(sink, clock.get(), running);
}
