#pragma once

#include <QString>

#include <optional>

// The pictures of a video file as they are stored, read without decoding.
// Blocks; any thread.
class KeyFrameScan {
public:
    struct Frame {
        double seconds = 0; // when it shows
        double decodeSeconds = 0; // when it is decoded: earlier with B-frames
        bool isKeyFrame = false;
    };

    // The first picture that shows at or after `seconds`; none when there is
    // none or the file cannot be read.
    static std::optional<Frame> firstFrameFrom(const QString &path, double seconds);
};
