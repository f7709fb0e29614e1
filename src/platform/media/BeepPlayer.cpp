#include "platform/media/BeepPlayer.h"

#include "platform/Log.h"
#include "platform/media/GstChain.h"
#include "platform/media/GstErrorText.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
constexpr int sampleRate = 48000;
// Time the output may take to play out what it was given.
constexpr int drainMs = 300;
} // namespace

struct BeepPlayer::Built {
    GstPtr<GstElement> pipeline;
    GstPtr<GstElement> tone;
    QString error;
};

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

BeepPlayer::Built BeepPlayer::build(const QString &sinkDescription)
{
    Built built;
    GError *error = nullptr;
    GstElement *sink = gst_parse_bin_from_description(sinkDescription.toUtf8().constData(), TRUE, &error);
    if (!sink) {
        built.error = GstErrorText::of(error);
        g_clear_error(&error);
        return built;
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
        built.tone = GstPtr<GstElement>::ref(tone);
    }
    const bool linked = GstChain::addAndLink(
        GST_BIN(pipeline.get()), {tone, format, GstChain::make("audioconvert"), GstChain::make("audioresample"), sink});
    if (!linked) {
        built.tone = {};
        built.error = QStringLiteral("无法组建提示音管线");
        return built;
    }
    built.pipeline = std::move(pipeline);
    return built;
}

void BeepPlayer::prepare()
{
    if (m_state != State::unprepared) {
        return;
    }
    m_state = State::preparing;
    // Making the elements loads plugins and may probe the sound system: never
    // on the thread that draws the countdown.
    QThreadPool::globalInstance()->start([self = QPointer<BeepPlayer>(this), description = m_sinkDescription] {
        auto built = std::make_shared<Built>(build(description));
        if (QCoreApplication *app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [self, built] {
                    if (self) {
                        self->take(std::move(*built));
                    }
                },
                Qt::QueuedConnection);
        }
    });
}

void BeepPlayer::take(Built built)
{
    if (!built.pipeline) {
        m_state = State::failed;
        m_pending.reset();
        warnOnce(built.error);
        return;
    }
    m_pipeline = std::move(built.pipeline);
    m_tone = std::move(built.tone);
    m_state = State::ready;
    Q_EMIT prepared();
    if (const std::optional<Tone> pending = std::exchange(m_pending, std::nullopt)) {
        play(*pending);
    }
}

void BeepPlayer::beep(int frequencyHz, int durationMs)
{
    const Tone tone{std::clamp(frequencyHz, 20, 20000), std::clamp(durationMs, 10, 2000)};
    switch (m_state) {
    case State::ready:
        play(tone);
        return;
    case State::failed:
        return;
    case State::unprepared:
    case State::preparing:
        m_pending = tone;
        prepare();
        return;
    }
}

void BeepPlayer::play(Tone tone)
{
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    // Whole periods, so the tone ends near a zero crossing instead of a click.
    const double periods = std::max(1.0, std::round(tone.frequencyHz * tone.durationMs / 1000.0));
    const int samples = int(std::lround(periods * sampleRate / tone.frequencyHz));
    g_object_set(
        m_tone.get(), "freq", double(tone.frequencyHz), "samplesperbuffer", samples, "num-buffers", 1, nullptr);
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        close();
        return;
    }
    ++m_beepsStarted;
    m_closeTimer.start(tone.durationMs + drainMs);
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
