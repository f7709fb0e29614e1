#include "platform/media/PipelineTime.h"

#include "platform/SteadyClock.h"

double PipelineTime::toSteadySeconds(GstElement *element, GstClock *clock, GstClockTime runningTime)
{
    const GstClockTime taken = gst_element_get_base_time(element) + runningTime;
    const double age = (double(gst_clock_get_time(clock)) - double(taken)) / double(GST_SECOND);
    return SteadyClock::now() - age;
}
