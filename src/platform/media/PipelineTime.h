#pragma once

#include <gst/gst.h>

// A pipeline's running time as a time on SteadyClock: how long ago it was by
// the pipeline's own clock, set back from now. Right whatever clock the
// pipeline runs on.
class PipelineTime {
public:
    static double toSteadySeconds(GstElement *element, GstClock *clock, GstClockTime runningTime);
    // When the first sample of what `sink` just got was captured, on
    // SteadyClock; NaN without a timestamp or a clock.
    static double ofSample(GstElement *sink, GstSample *sample);
};
