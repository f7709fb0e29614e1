#include "platform/media/CaptureDeviceFormats.h"

#include "platform/media/MediaAssetHandles.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <mutex>

namespace {

// The sizes the presets ask for, largest first.
constexpr std::array<QSize, 4> usualSizes = {QSize(3840, 2160), QSize(1920, 1080), QSize(1280, 720), QSize(640, 480)};
constexpr int highPresetMaxHeight = 1080;
// 29.97 fps cameras count as 30.
constexpr double rateTolerance = 0.1;

const char *capsName(CaptureEncoding encoding)
{
    return encoding == CaptureEncoding::raw ? "video/x-raw" : "image/jpeg";
}

double fractionValue(const GValue *value)
{
    const int denominator = gst_value_get_fraction_denominator(value);
    return denominator > 0 ? double(gst_value_get_fraction_numerator(value)) / denominator : 0;
}

// The highest rate a framerate field allows; 0 when there is none.
double maxRateOf(const GValue *value)
{
    if (!value) {
        return 0;
    }
    if (GST_VALUE_HOLDS_FRACTION(value)) {
        return fractionValue(value);
    }
    if (GST_VALUE_HOLDS_FRACTION_RANGE(value)) {
        return fractionValue(gst_value_get_fraction_range_max(value));
    }
    if (GST_VALUE_HOLDS_LIST(value)) {
        double best = 0;
        for (guint index = 0; index < gst_value_list_get_size(value); ++index) {
            best = std::max(best, maxRateOf(gst_value_list_get_value(value, index)));
        }
        return best;
    }
    return 0;
}

bool isGreyFormat(const gchar *format)
{
    return format && g_str_has_prefix(format, "GRAY");
}

// A raw structure in colour: no format named, or at least one that is not grey.
bool isColourStructure(const GstStructure *structure)
{
    const GValue *format = gst_structure_get_value(structure, "format");
    if (!format) {
        return true;
    }
    if (G_VALUE_HOLDS_STRING(format)) {
        return !isGreyFormat(g_value_get_string(format));
    }
    if (GST_VALUE_HOLDS_LIST(format)) {
        for (guint index = 0; index < gst_value_list_get_size(format); ++index) {
            const GValue *entry = gst_value_list_get_value(format, index);
            if (G_VALUE_HOLDS_STRING(entry) && !isGreyFormat(g_value_get_string(entry))) {
                return true;
            }
        }
        return false;
    }
    return true;
}

bool reachesWantedRate(double framesPerSecond)
{
    // A camera that names no rate is taken at its word for any.
    return framesPerSecond == 0 || framesPerSecond >= CaptureDeviceFormats::wantedFramesPerSecond - rateTolerance;
}

// For a camera that offers none of the usual sizes: its own size, in the
// encoding it has.
CaptureMode anySizeMode(const GstCaps *caps)
{
    if (caps && !gst_caps_is_any(caps)) {
        GstCapsPtr raw(gst_caps_new_empty_simple("video/x-raw"));
        GstCapsPtr common(gst_caps_intersect(raw.get(), const_cast<GstCaps *>(caps)));
        bool hasColourRaw = false;
        for (guint index = 0; index < gst_caps_get_size(common.get()); ++index) {
            hasColourRaw = hasColourRaw || isColourStructure(gst_caps_get_structure(common.get(), index));
        }
        GstCapsPtr jpeg(gst_caps_new_empty_simple("image/jpeg"));
        if (!hasColourRaw && gst_caps_can_intersect(jpeg.get(), const_cast<GstCaps *>(caps))) {
            return {QSize(), CaptureEncoding::jpeg, 0};
        }
    }
    return {QSize(), CaptureEncoding::raw, 0};
}

bool decodesTestPicture(const char *factory)
{
    const QByteArray description
        = QByteArray("videotestsrc num-buffers=2 ! video/x-raw,width=320,height=240 ! jpegenc ! ") + factory
        + " ! videoconvert ! video/x-raw,format=I420 ! fakesink";
    GError *error = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch(description.constData(), &error));
    g_clear_error(&error);
    if (!pipeline) {
        return false;
    }
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    GstMessage *message
        = gst_bus_timed_pop_filtered(bus.get(), 5 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool decoded = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message) {
        gst_message_unref(message);
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return decoded;
}

} // namespace

std::optional<double> CaptureDeviceFormats::maxFrameRate(const GstCaps *caps, CaptureEncoding encoding, QSize size)
{
    if (!caps) {
        return encoding == CaptureEncoding::raw ? std::optional<double>(0) : std::nullopt;
    }
    GstCapsPtr wanted(gst_caps_new_simple(
        capsName(encoding), "width", G_TYPE_INT, size.width(), "height", G_TYPE_INT, size.height(), nullptr));
    GstCapsPtr common(gst_caps_intersect(wanted.get(), const_cast<GstCaps *>(caps)));
    std::optional<double> best;
    for (guint index = 0; index < gst_caps_get_size(common.get()); ++index) {
        const GstStructure *structure = gst_caps_get_structure(common.get(), index);
        if (encoding == CaptureEncoding::raw && !isColourStructure(structure)) {
            continue;
        }
        const double rate = maxRateOf(gst_structure_get_value(structure, "framerate"));
        best = std::max(best.value_or(0), rate);
    }
    return best;
}

std::optional<CaptureMode> CaptureDeviceFormats::modeFor(const GstCaps *caps, QSize size)
{
    const std::optional<double> raw = maxFrameRate(caps, CaptureEncoding::raw, size);
    const std::optional<double> jpeg = maxFrameRate(caps, CaptureEncoding::jpeg, size);
    if (raw && reachesWantedRate(*raw)) {
        return CaptureMode{size, CaptureEncoding::raw, *raw};
    }
    if (jpeg && reachesWantedRate(*jpeg)) {
        return CaptureMode{size, CaptureEncoding::jpeg, *jpeg};
    }
    if (jpeg && (!raw || *jpeg > *raw)) {
        return CaptureMode{size, CaptureEncoding::jpeg, *jpeg};
    }
    if (raw) {
        return CaptureMode{size, CaptureEncoding::raw, *raw};
    }
    return std::nullopt;
}

CaptureMode CaptureDeviceFormats::modeForPreset(const GstCaps *caps, SessionPreset preset)
{
    const QSize asked = SessionPresets::frameSize(preset);
    if (!asked.isEmpty()) {
        if (const auto mode = modeFor(caps, asked)) {
            return *mode;
        }
    }
    // `high`, or a size the camera lacks: the largest usual size below, at 30
    // fps where one gives it.
    const int ceiling = asked.isEmpty() ? highPresetMaxHeight : asked.height() - 1;
    std::optional<CaptureMode> slower;
    for (const QSize size : usualSizes) {
        if (size.height() > ceiling) {
            continue;
        }
        if (const auto mode = modeFor(caps, size)) {
            if (reachesWantedRate(mode->framesPerSecond)) {
                return *mode;
            }
            slower = slower ? slower : mode;
        }
    }
    if (slower) {
        return *slower;
    }
    for (auto size = usualSizes.rbegin(); size != usualSizes.rend(); ++size) {
        if (const auto mode = modeFor(caps, *size)) {
            return *mode;
        }
    }
    return anySizeMode(caps);
}

GstCapsPtr CaptureDeviceFormats::sourceCaps(const CaptureMode &mode)
{
    const QByteArray name = capsName(mode.encoding);
    if (mode.size.isEmpty()) {
        return GstCapsPtr(gst_caps_from_string(name.constData()));
    }
    const QByteArray sized = name + ",width=" + QByteArray::number(mode.size.width())
        + ",height=" + QByteArray::number(mode.size.height());
    // 30 fps where the camera has it, else its own rate; never a size left free,
    // or PipeWire's cameras fall back to 320x240.
    const QByteArray caps = sized + ",framerate=30/1; " + sized;
    return GstCapsPtr(gst_caps_from_string(caps.constData()));
}

bool CaptureDeviceFormats::offersColour(const GstCaps *caps)
{
    if (!caps || gst_caps_is_any(caps)) {
        return true;
    }
    for (guint index = 0; index < gst_caps_get_size(caps); ++index) {
        const GstStructure *structure = gst_caps_get_structure(caps, index);
        if (gst_structure_has_name(structure, "image/jpeg")
            || (gst_structure_has_name(structure, "video/x-raw") && isColourStructure(structure))) {
            return true;
        }
    }
    return false;
}

QString CaptureDeviceFormats::jpegDecoderFactory()
{
    static std::once_flag decided;
    static QString factory = QStringLiteral("jpegdec");
    std::call_once(decided, [] {
        for (const char *candidate : {"vajpegdec", "vaapijpegdec", "nvjpegdec", "v4l2jpegdec"}) {
            GstPtr<GstElementFactory> found(gst_element_factory_find(candidate));
            if (found && decodesTestPicture(candidate)) {
                factory = QString::fromLatin1(candidate);
                return;
            }
        }
    });
    return factory;
}
