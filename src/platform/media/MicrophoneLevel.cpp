#include "platform/media/MicrophoneLevel.h"

#include <algorithm>
#include <cmath>

namespace {
// The loudest channel of one of the level element's per-channel fields.
std::optional<double> loudestChannel(const GstStructure *structure, const char *field)
{
    const GValue *value = gst_structure_get_value(structure, field);
    if (!value) {
        return std::nullopt;
    }
    // The element still posts GValueArrays.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (!G_VALUE_HOLDS(value, g_value_array_get_type())) {
        return std::nullopt;
    }
    const auto *channels = static_cast<const GValueArray *>(g_value_get_boxed(value));
    if (!channels || channels->n_values == 0) {
        return std::nullopt;
    }
    double loudest = -std::numeric_limits<double>::infinity();
    for (guint i = 0; i < channels->n_values; ++i) {
        const GValue *channel = g_value_array_get_nth(const_cast<GValueArray *>(channels), i);
        if (G_VALUE_HOLDS_DOUBLE(channel)) {
            const double db = g_value_get_double(channel);
            // Silence comes as -inf or as a huge negative number.
            loudest = std::max(loudest, std::isfinite(db) ? db : -std::numeric_limits<double>::infinity());
        }
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    return loudest;
}
} // namespace

std::optional<MicrophoneLevel> MicrophoneLevel::fromMessage(GstMessage *message)
{
    if (!message || GST_MESSAGE_TYPE(message) != GST_MESSAGE_ELEMENT) {
        return std::nullopt;
    }
    const GstStructure *structure = gst_message_get_structure(message);
    if (!structure || !gst_structure_has_name(structure, "level")) {
        return std::nullopt;
    }
    const std::optional<double> rms = loudestChannel(structure, "rms");
    const std::optional<double> peak = loudestChannel(structure, "peak");
    if (!rms || !peak) {
        return std::nullopt;
    }
    return MicrophoneLevel{*rms, *peak};
}
