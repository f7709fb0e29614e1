// Readings of the level element as the capture pipeline's bus carries them.
#include "platform/media/MicrophoneLevel.h"

#include "platform/media/GstPtr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace {
// The last reading of the level element behind `source`, a stereo source.
std::optional<MicrophoneLevel> levelOf(const char *source)
{
    const std::string description = std::string(source)
        + " num-buffers=20 ! audio/x-raw,rate=48000,channels=2,format=S16LE ! level interval=40000000 ! fakesink";
    GError *error = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch(description.c_str(), &error));
    g_clear_error(&error);
    if (!pipeline) {
        return std::nullopt;
    }
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    std::optional<MicrophoneLevel> last;
    for (;;) {
        GstMessage *message = gst_bus_timed_pop(bus.get(), 10 * GST_SECOND);
        if (!message) {
            break;
        }
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (const auto level = MicrophoneLevel::fromMessage(message)) {
            last = level;
        } else {
            EXPECT_NE(type, GST_MESSAGE_ELEMENT) << "only level readings are read as levels";
        }
        gst_message_unref(message);
        if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
            break;
        }
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return last;
}
} // namespace

TEST(MicrophoneLevel, ReadsTheLoudestChannelOfAToneAndSilenceAsNothing)
{
    // A sine at half scale: peak -6 dB, RMS 3 dB lower.
    const auto tone = levelOf("audiotestsrc wave=sine freq=1000 volume=0.5");
    ASSERT_TRUE(tone.has_value());
    EXPECT_NEAR(tone->peakDb, 20 * std::log10(0.5), 0.3);
    EXPECT_NEAR(tone->rmsDb, 20 * std::log10(0.5 / std::sqrt(2.0)), 0.3);

    const auto silence = levelOf("audiotestsrc wave=silence");
    ASSERT_TRUE(silence.has_value());
    EXPECT_LT(silence->peakDb, -96.0);
    EXPECT_LT(silence->rmsDb, -96.0);

    EXPECT_FALSE(MicrophoneLevel::fromMessage(nullptr).has_value());
}
