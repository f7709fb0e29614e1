#include "platform/speech/MicrophoneInput.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

namespace {
template <typename T> struct Unref {
    void operator()(T *object) const
    {
        if (object) {
            gst_object_unref(object);
        }
    }
};

// The default Audio/Source of the device monitor, else the first one.
GstElement *createSourceElement()
{
    std::unique_ptr<GstDeviceMonitor, Unref<GstDeviceMonitor>> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Audio/Source", nullptr);
    if (!gst_device_monitor_start(monitor.get())) {
        return nullptr;
    }
    GList *devices = gst_device_monitor_get_devices(monitor.get());
    GstDevice *chosen = nullptr;
    for (GList *item = devices; item; item = item->next) {
        GstDevice *device = GST_DEVICE(item->data);
        GstStructure *properties = gst_device_get_properties(device);
        gboolean isDefault = FALSE;
        if (properties) {
            gst_structure_get_boolean(properties, "is-default", &isDefault);
            gst_structure_free(properties);
        }
        if (!chosen || isDefault) {
            chosen = device;
        }
        if (isDefault) {
            break;
        }
    }
    GstElement *element = chosen ? gst_device_create_element(chosen, nullptr) : nullptr;
    g_list_free_full(devices, gst_object_unref);
    gst_device_monitor_stop(monitor.get());
    return element;
}

GstFlowReturn onSample(GstAppSink *appsink, gpointer data)
{
    auto *sink = static_cast<AudioInput::Sink *>(data);
    GstSample *sample = gst_app_sink_pull_sample(appsink);
    if (!sample) {
        return GST_FLOW_EOS;
    }
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        (*sink)(reinterpret_cast<const float *>(map.data), map.size / sizeof(float));
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

QString busError(GstElement *pipeline)
{
    std::unique_ptr<GstBus, Unref<GstBus>> bus(gst_element_get_bus(pipeline));
    GstMessage *message = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR);
    if (!message) {
        return QStringLiteral("麦克风无法启动");
    }
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    QString text = QString::fromUtf8(error ? error->message : "unknown error");
    if (debug) {
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(debug));
    }
    g_clear_error(&error);
    g_free(debug);
    gst_message_unref(message);
    return text;
}
} // namespace

void MicrophoneInput::PipelineDeleter::operator()(GstElement *pipeline) const
{
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

MicrophoneInput::~MicrophoneInput()
{
    stop();
}

bool MicrophoneInput::start(Sink sink, QString *error)
{
    GstElement *source = createSourceElement();
    if (!source) {
        *error = QStringLiteral("没有找到麦克风");
        return false;
    }
    m_pipeline.reset(gst_pipeline_new("speech-input"));
    GstElement *convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement *resample = gst_element_factory_make("audioresample", nullptr);
    GstElement *appsink = gst_element_factory_make("appsink", nullptr);
    gst_bin_add_many(GST_BIN(m_pipeline.get()), source, convert, resample, appsink, nullptr);

    GstCaps *caps = gst_caps_from_string("audio/x-raw,format=F32LE,rate=16000,channels=1,layout=interleaved");
    gst_app_sink_set_caps(GST_APP_SINK(appsink), caps);
    gst_caps_unref(caps);
    // Speech wants low latency and never old audio: keep only a little.
    g_object_set(appsink, "sync", FALSE, "max-buffers", 64, "drop", TRUE, nullptr);
    m_sink = std::make_unique<Sink>(std::move(sink));
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, m_sink.get(), nullptr);

    if (!gst_element_link_many(source, convert, resample, appsink, nullptr)) {
        *error = QStringLiteral("麦克风格式无法转换");
        m_pipeline.reset();
        return false;
    }
    gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING);
    const GstStateChangeReturn state = gst_element_get_state(m_pipeline.get(), nullptr, nullptr, 3 * GST_SECOND);
    if (state == GST_STATE_CHANGE_FAILURE) {
        *error = busError(m_pipeline.get());
        m_pipeline.reset();
        return false;
    }
    return true;
}

void MicrophoneInput::stop()
{
    // Going to NULL joins the streaming thread, so the sink is not called after this.
    m_pipeline.reset();
    m_sink.reset();
}
