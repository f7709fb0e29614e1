#include "platform/media/MediaAsset.h"

#include "platform/media/GstErrorText.h"
#include "platform/media/GstPtr.h"
#include "platform/media/MediaAssetHandles.h"

#include <gst/pbutils/pbutils.h>

#include <QFileInfo>

namespace {
// Only headers are read; a local file answers long before this.
constexpr GstClockTime discoveryTimeout = 10 * GST_SECOND;

QString orientationTag(const GstTagList *tags)
{
    gchar *value = nullptr;
    if (!tags || !gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &value)) {
        return {};
    }
    const QString tag = QString::fromUtf8(value);
    g_free(value);
    return tag;
}

MediaTrack videoTrack(GstDiscovererStreamInfo *stream, const GstTagList *globalTags)
{
    auto *video = GST_DISCOVERER_VIDEO_INFO(stream);
    MediaTrack track;
    track.mediaType = MediaType::video;
    track.naturalSize = QSizeF(gst_discoverer_video_info_get_width(video), gst_discoverer_video_info_get_height(video));
    const guint rateDenominator = gst_discoverer_video_info_get_framerate_denom(video);
    if (rateDenominator > 0) {
        track.nominalFrameRate = double(gst_discoverer_video_info_get_framerate_num(video)) / rateDenominator;
    }
    QString tag = orientationTag(gst_discoverer_stream_info_get_tags(stream));
    if (tag.isEmpty()) {
        tag = orientationTag(globalTags);
    }
    track.preferredTransform = DisplayTransform::fromOrientationTag(tag);
    return track;
}
} // namespace

MediaAsset::MediaAsset(const QString &path) : m_path(path)
{
    GError *rawError = nullptr;
    gchar *uri = gst_filename_to_uri(QFileInfo(path).absoluteFilePath().toUtf8().constData(), &rawError);
    media::GErrorHandle uriError(rawError);
    if (!uri) {
        m_errorDescription = GstErrorText::of(uriError.get(), QStringLiteral("invalid path"));
        return;
    }
    const GCharPtr uriText(uri);

    rawError = nullptr;
    const media::GObjectHandle<GstDiscoverer> discoverer(gst_discoverer_new(discoveryTimeout, &rawError));
    media::GErrorHandle discovererError(rawError);
    if (!discoverer) {
        m_errorDescription = GstErrorText::of(discovererError.get(), QStringLiteral("no discoverer"));
        return;
    }

    rawError = nullptr;
    const media::GObjectHandle<GstDiscovererInfo> info(gst_discoverer_discover_uri(discoverer.get(), uri, &rawError));
    media::GErrorHandle error(rawError);
    const GstDiscovererResult result = info ? gst_discoverer_info_get_result(info.get()) : GST_DISCOVERER_ERROR;
    if (!info || (result != GST_DISCOVERER_OK && result != GST_DISCOVERER_MISSING_PLUGINS)) {
        m_errorDescription = GstErrorText::of(error.get(), QStringLiteral("unreadable media file"));
        return;
    }

    m_isReadable = true;
    const GstClockTime duration = gst_discoverer_info_get_duration(info.get());
    m_durationSeconds = GST_CLOCK_TIME_IS_VALID(duration) ? double(duration) / GST_SECOND : 0.0;

    const GstTagList *globalTags = gst_discoverer_info_get_tags(info.get());
    GList *streams = gst_discoverer_info_get_stream_list(info.get());
    for (GList *item = streams; item; item = item->next) {
        auto *stream = static_cast<GstDiscovererStreamInfo *>(item->data);
        if (GST_IS_DISCOVERER_VIDEO_INFO(stream)) {
            if (!gst_discoverer_video_info_is_image(GST_DISCOVERER_VIDEO_INFO(stream))) {
                m_tracks.append(videoTrack(stream, globalTags));
            }
        } else if (GST_IS_DISCOVERER_AUDIO_INFO(stream)) {
            m_tracks.append(MediaTrack{MediaType::audio, {}, {}, 0.0});
        }
    }
    gst_discoverer_stream_info_list_free(streams);
}

QList<MediaTrack> MediaAsset::tracks(MediaType mediaType) const
{
    QList<MediaTrack> result;
    for (const MediaTrack &track : m_tracks) {
        if (track.mediaType == mediaType) {
            result.append(track);
        }
    }
    return result;
}
