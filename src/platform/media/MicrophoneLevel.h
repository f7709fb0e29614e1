#pragma once

#include <gst/gst.h>

#include <limits>
#include <optional>

// The loudness of the microphone over one short interval, in dB below full
// scale (0 is the loudest a sample can be; minus infinity is digital silence),
// the loudest channel of each.
struct MicrophoneLevel {
    double rmsDb = -std::numeric_limits<double>::infinity();
    double peakDb = -std::numeric_limits<double>::infinity();

    // What a `level` element reports on the bus; none for any other message.
    static std::optional<MicrophoneLevel> fromMessage(GstMessage *message);

    friend bool operator==(const MicrophoneLevel &, const MicrophoneLevel &) = default;
};
