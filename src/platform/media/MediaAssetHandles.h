#pragma once

#include <gst/gst.h>

#include <memory>

// Owning holders for what GstPtr does not cover: messages, samples, errors,
// plain GObjects, and pipelines that must be stopped before they are dropped.
namespace media {

struct GstMessageUnref {
    void operator()(GstMessage *message) const { gst_message_unref(message); }
};
struct GstSampleUnref {
    void operator()(GstSample *sample) const { gst_sample_unref(sample); }
};
struct GErrorFree {
    void operator()(GError *error) const { g_error_free(error); }
};

using GstMessageHandle = std::unique_ptr<GstMessage, GstMessageUnref>;
using GstSampleHandle = std::unique_ptr<GstSample, GstSampleUnref>;
using GErrorHandle = std::unique_ptr<GError, GErrorFree>;

// For GObjects that are not GstObjects (a discoverer, its results): they must
// not go through gst_object_unref.
struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GObjectHandle = std::unique_ptr<T, GObjectUnref>;

// Sets the pipeline to NULL before dropping it, so no streaming thread outlives it.
struct PipelineStop {
    void operator()(GstElement *pipeline) const
    {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
};
using PipelineHandle = std::unique_ptr<GstElement, PipelineStop>;

} // namespace media
