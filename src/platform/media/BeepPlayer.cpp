#include "platform/media/BeepPlayer.h"

#include "platform/Log.h"
#include "platform/media/GstChain.h"
#include "platform/media/GstErrorText.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int sampleRate = 48000;
// Time the output may take to play out what it was given.
constexpr int drainMs = 300;
} // namespace

BeepPlayer::BeepPlayer(const QString &sinkDescription, QObject *parent)
    : QObject(parent), m_sinkDescription(sinkDescription)
{
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &BeepPlayer::close);
}

BeepPlayer::~BeepPlayer()
{
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    }
}

bool BeepPlayer::ensurePipeline()
{
    if (m_pipeline) {
        return true;
    }
    GError *error = nullptr;
    GstElement *sink = gst_parse_bin_from_description(m_sinkDescription.toUtf8().constData(), TRUE, &error);
    if (!sink) {
        warnOnce(GstErrorText::of(error));
        g_clear_error(&error);
        return false;
    }
    g_clear_error(&error);
    GstPtr<GstElement> pipeline(gst_pipeline_new("beep"));
    GstElement *tone = GstChain::make("audiotestsrc");
    GstElement *format = GstChain::make("capsfilter");
    if (format) {
        GstCapsPtr caps(
            gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT, sampleRate, "channels", G_TYPE_INT, 1, nullptr));
        g_object_set(format, "caps", caps.get(), nullptr);
    }
    if (tone) {
        gst_util_set_object_arg(G_OBJECT(tone), "wave", "sine");
        g_object_set(tone, "volume", 0.3, nullptr);
        m_tone = GstPtr<GstElement>::ref(tone);
    }
    const bool built = GstChain::addAndLink(
        GST_BIN(pipeline.get()), {tone, format, GstChain::make("audioconvert"), GstChain::make("audioresample"), sink});
    if (!built) {
        m_tone = {};
        warnOnce(QStringLiteral("无法组建提示音管线"));
        return false;
    }
    m_pipeline = std::move(pipeline);
    return true;
}

void BeepPlayer::beep(int frequencyHz, int durationMs)
{
    if (!ensurePipeline()) {
        return;
    }
    frequencyHz = std::clamp(frequencyHz, 20, 20000);
    durationMs = std::clamp(durationMs, 10, 2000);
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    // Whole periods, so the tone ends near a zero crossing instead of a click.
    const double periods = std::max(1.0, std::round(frequencyHz * durationMs / 1000.0));
    const int samples = int(std::lround(periods * sampleRate / frequencyHz));
    g_object_set(m_tone.get(), "freq", double(frequencyHz), "samplesperbuffer", samples, "num-buffers", 1, nullptr);
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        close();
        return;
    }
    ++m_beepsStarted;
    m_closeTimer.start(durationMs + drainMs);
}

void BeepPlayer::close()
{
    m_closeTimer.stop();
    if (!m_pipeline) {
        return;
    }
    GstPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
    while (GstMessage *message = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR)) {
        warnOnce(GstErrorText::of(message));
        gst_message_unref(message);
    }
    // Going to NULL flushes the bus of the rest.
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
}

void BeepPlayer::warnOnce(const QString &error)
{
    if (m_hasWarned) {
        return;
    }
    m_hasWarned = true;
    Log::line(QStringLiteral("⚠️ 无法播放提示音: ") + error);
}
