#include "platform/media/RecordingCrop.h"

#include "platform/media/CropGeometry.h"
#include "platform/media/GstChain.h"
#include "platform/media/GstPtr.h"

#include "platform/Log.h"

namespace {
struct CapsWatch {
    GstElement *crop; // owns the pad the probe sits on
    QSize assumed;
    double ratio;
};
} // namespace

std::optional<QRect> RecordingCrop::rectFor(QSize source, double ratio)
{
    const std::optional<QRectF> exact = CropGeometry::cropRect(QSizeF(source), ratio);
    if (!exact) {
        return std::nullopt;
    }
    return CropGeometry::encodedRect(*exact, QSizeF(source));
}

void RecordingCrop::apply(GstElement *crop, QSize source, const QRect &rect)
{
    g_object_set(crop, "left", rect.left(), "top", rect.top(), "right", source.width() - rect.right() - 1, "bottom",
        source.height() - rect.bottom() - 1, nullptr);
}

GstElement *RecordingCrop::makeElement(QSize source, const QRect &rect, double ratio)
{
    GstElement *crop = GstChain::make("videocrop");
    if (!crop) {
        return nullptr;
    }
    apply(crop, source, rect);
    GstPtr<GstPad> sink(gst_element_get_static_pad(crop, "sink"));
    gst_pad_add_probe(
        sink.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
            if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) {
                return GST_PAD_PROBE_OK;
            }
            auto *watch = static_cast<CapsWatch *>(data);
            GstCaps *caps = nullptr;
            gst_event_parse_caps(event, &caps);
            int width = 0;
            int height = 0;
            const GstStructure *structure = caps ? gst_caps_get_structure(caps, 0) : nullptr;
            if (!structure || !gst_structure_get_int(structure, "width", &width)
                || !gst_structure_get_int(structure, "height", &height)) {
                return GST_PAD_PROBE_OK;
            }
            const QSize negotiated(width, height);
            if (negotiated == watch->assumed) {
                return GST_PAD_PROBE_OK;
            }
            // The element reads its margins when these caps reach it, just after.
            const std::optional<QRect> rect = rectFor(negotiated, watch->ratio);
            apply(watch->crop, negotiated, rect.value_or(QRect(QPoint(), negotiated)));
            watch->assumed = negotiated;
            Log::line(QStringLiteral("⚠️ 摄像头画面尺寸与预期不同，按 %1x%2 裁剪")
                          .arg(width)
                          .arg(height));
            return GST_PAD_PROBE_OK;
        },
        new CapsWatch{crop, source, ratio}, [](gpointer data) { delete static_cast<CapsWatch *>(data); });
    return crop;
}
