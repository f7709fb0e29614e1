#pragma once

#include <gst/gst.h>

#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

// A running pipeline written back as a gst_parse_launch description, so a
// bench can run the same elements with the same settings bare: no probes, no
// callbacks, no application around them. Properties are written where they
// differ from their defaults.
namespace PipelineDescription {

// One element: its factory and its changed properties, less `skipped` ones.
inline QString element(GstElement *element, const QStringList &skipped = {})
{
    GstElementFactory *factory = gst_element_get_factory(element);
    QString text = factory ? QString::fromUtf8(GST_OBJECT_NAME(factory)) : QStringLiteral("identity");
    guint count = 0;
    GParamSpec **properties = g_object_class_list_properties(G_OBJECT_GET_CLASS(element), &count);
    for (guint i = 0; i < count; ++i) {
        GParamSpec *property = properties[i];
        const QString name = QString::fromUtf8(property->name);
        const bool settable = (property->flags & G_PARAM_READABLE) && (property->flags & G_PARAM_WRITABLE)
            && !(property->flags & G_PARAM_CONSTRUCT_ONLY);
        // A muxer's scratch file is a fresh temporary name each time.
        const bool own = name == QLatin1String("name") || name == QLatin1String("parent")
            || name == QLatin1String("faststart-file");
        if (!settable || own || skipped.contains(name)) {
            continue;
        }
        GValue value = G_VALUE_INIT;
        g_value_init(&value, property->value_type);
        g_object_get_property(G_OBJECT(element), property->name, &value);
        if (!g_param_value_defaults(property, &value)) {
            if (gchar *serialized = gst_value_serialize(&value)) {
                QString written = QString::fromUtf8(serialized);
                written.replace(QLatin1Char('"'), QLatin1String("\\\""));
                text += QStringLiteral(" %1=\"%2\"").arg(name, written);
                g_free(serialized);
            }
        }
        g_value_unset(&value);
    }
    g_free(properties);
    return text;
}

inline GstElement *parentOf(GstPad *pad)
{
    GstObject *parent = pad ? gst_pad_get_parent(pad) : nullptr; // new reference
    if (!parent) {
        return nullptr;
    }
    gst_object_unref(parent); // the pipeline keeps it alive
    return GST_IS_ELEMENT(parent) ? GST_ELEMENT(parent) : nullptr;
}

// The element after `element`, through its "src" pad; none at the chain's end
// or where the link goes into a request pad (a muxer's), which is `*joined`.
inline GstElement *next(GstElement *element, GstElement **joined)
{
    GstPad *src = gst_element_get_static_pad(element, "src");
    if (!src) {
        return nullptr;
    }
    GstPad *peer = gst_pad_get_peer(src);
    gst_object_unref(src);
    if (!peer) {
        return nullptr;
    }
    GstElement *after = parentOf(peer);
    GstPadTemplate *padTemplate = gst_pad_get_pad_template(peer);
    const bool requested = padTemplate && GST_PAD_TEMPLATE_PRESENCE(padTemplate) == GST_PAD_REQUEST;
    if (padTemplate) {
        gst_object_unref(padTemplate);
    }
    gst_object_unref(peer);
    if (requested) {
        *joined = after;
        return nullptr;
    }
    return after;
}

// The chain from `first` on, each element rewritten by `rewrite` (empty: as
// it is); `*joined` is the muxer it ends in, if any.
template <typename Rewrite> QString chain(GstElement *first, GstElement **joined, Rewrite rewrite)
{
    QStringList parts;
    for (GstElement *current = first; current; current = next(current, joined)) {
        const QString rewritten = rewrite(current);
        parts << (rewritten.isEmpty() ? element(current) : rewritten);
    }
    return parts.join(QStringLiteral(" ! "));
}

// The elements from the source up to `tee` (excluded), the source itself
// written as `sourceDescription` (empty: as it is).
inline QString upstreamOf(GstElement *tee, const QString &sourceDescription)
{
    QStringList parts;
    GstElement *current = tee;
    while (true) {
        GstPad *sink = gst_element_get_static_pad(current, "sink");
        GstPad *peer = sink ? gst_pad_get_peer(sink) : nullptr;
        if (sink) {
            gst_object_unref(sink);
        }
        GstElement *before = parentOf(peer);
        if (peer) {
            gst_object_unref(peer);
        }
        if (!before) {
            break;
        }
        GstPad *beforeSink = gst_element_get_static_pad(before, "sink");
        if (!beforeSink) {
            parts.prepend(sourceDescription.isEmpty() ? element(before) : sourceDescription);
            break;
        }
        gst_object_unref(beforeSink);
        parts.prepend(element(before));
        current = before;
    }
    return parts.join(QStringLiteral(" ! "));
}

// The bin of the take under way (each is named "recording-N"); a new
// reference, none between takes.
inline GstElement *runningTake(GstElement *pipeline)
{
    GstElement *found = nullptr;
    int newest = 0;
    GstIterator *children = gst_bin_iterate_elements(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        auto *child = GST_ELEMENT(g_value_get_object(&item));
        const QString name = QString::fromUtf8(GST_OBJECT_NAME(child));
        const int number = name.startsWith(QLatin1String("recording-")) ? name.mid(10).toInt() : 0;
        if (number > newest) {
            if (found) {
                gst_object_unref(found);
            }
            found = GST_ELEMENT(gst_object_ref(child));
            newest = number;
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
    return found;
}

// How the capture pipeline's bare twin differs from it.
struct Twin {
    QString videoSource; // empty: the camera's source element as it is
    QString audioSource;
    QString previewSink = QStringLiteral("fakesink sync=false async=false"); // for the preview's appsink
    std::optional<QString> crop; // the take's crop element, after the video queue if the take has none
    QString path; // the bare take's file
    QString programCrop; // out: the program's own crop element, if any
};

// The capture pipeline (its "video-tee" and "audio-tee" with their branches,
// and the take's bin while one runs) with the changes of `twin`.
inline QString bare(GstElement *pipeline, Twin &twin)
{
    GstElement *videoTee = gst_bin_get_by_name(GST_BIN(pipeline), "video-tee");
    GstElement *audioTee = gst_bin_get_by_name(GST_BIN(pipeline), "audio-tee");
    GstElement *recording = runningTake(pipeline);
    if (!videoTee) {
        return {};
    }
    // The preview's appsink becomes the twin's window; any other one (the
    // listener's sound) a plain sink.
    auto plainOf = [&](GstElement *tee) {
        return [&, tee](GstElement *current) -> QString {
            if (!element(current).startsWith(QLatin1String("appsink"))) {
                return {};
            }
            return tee == videoTee ? twin.previewSink : QStringLiteral("fakesink sync=false async=false");
        };
    };
    // Every branch of a tee but the recording's, as it is.
    auto branchesOf = [&](GstElement *tee, const QString &name) {
        QString text;
        GstIterator *pads = gst_element_iterate_src_pads(tee);
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(pads, &item) == GST_ITERATOR_OK) {
            GstPad *peer = gst_pad_get_peer(GST_PAD(g_value_get_object(&item)));
            GstElement *first = parentOf(peer);
            if (peer) {
                gst_object_unref(peer);
            }
            if (first && first != recording) {
                GstElement *joined = nullptr;
                text += QStringLiteral(" %1. ! %2").arg(name, chain(first, &joined, plainOf(tee)));
            }
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(pads);
        return text;
    };
    QString text = upstreamOf(videoTee, twin.videoSource) + QStringLiteral(" ! ") + element(videoTee)
        + QStringLiteral(" name=v") + branchesOf(videoTee, QStringLiteral("v"));
    if (audioTee) {
        text += QStringLiteral(" ") + upstreamOf(audioTee, twin.audioSource) + QStringLiteral(" ! ") + element(audioTee)
            + QStringLiteral(" name=a") + branchesOf(audioTee, QStringLiteral("a"));
    }

    GstElement *mux = nullptr;
    for (const char *ghost : {"video", "audio"}) {
        GstPad *pad = recording ? gst_element_get_static_pad(recording, ghost) : nullptr;
        if (!pad) {
            continue;
        }
        GstPad *target = gst_ghost_pad_get_target(GST_GHOST_PAD(pad));
        GstElement *first = parentOf(target);
        if (target) {
            gst_object_unref(target);
        }
        gst_object_unref(pad);
        const bool video = QLatin1String(ghost) == QLatin1String("video");
        bool hasOwnCrop = false;
        for (GstElement *current = first; current; current = next(current, &mux)) {
            hasOwnCrop = hasOwnCrop || element(current).startsWith(QLatin1String("videocrop"));
        }
        auto rewrite = [&](GstElement *current) -> QString {
            const QString written = element(current);
            if (written.startsWith(QLatin1String("videocrop"))) {
                twin.programCrop = written;
                return twin.crop.value_or(QStringLiteral("identity"));
            }
            if (video && !hasOwnCrop && twin.crop && written.startsWith(QLatin1String("x264enc"))) {
                // The take has no crop of its own: the twin crops where it would.
                return *twin.crop + QStringLiteral(" ! ") + written;
            }
            return {};
        };
        text += QStringLiteral(" %1. ! %2 ! mux.").arg(QLatin1String(video ? "v" : "a"), chain(first, &mux, rewrite));
    }
    if (mux) {
        GstElement *unused = nullptr;
        GstElement *after = next(mux, &unused);
        auto toBareFile = [&](GstElement *current) -> QString {
            if (element(current).startsWith(QLatin1String("filesink"))) {
                return element(current, {QStringLiteral("location")})
                    + QStringLiteral(" location=\"%1\"").arg(twin.path);
            }
            return {};
        };
        text += QStringLiteral(" ") + element(mux) + QStringLiteral(" name=mux")
            + (after ? QStringLiteral(" ! ") + chain(after, &unused, toBareFile) : QString());
    }
    gst_object_unref(videoTee);
    if (audioTee) {
        gst_object_unref(audioTee);
    }
    if (recording) {
        gst_object_unref(recording);
    }
    return text;
}

} // namespace PipelineDescription
