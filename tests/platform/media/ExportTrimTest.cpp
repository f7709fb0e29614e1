// Shortening a recording: copied when the new end is a key frame, re-encoded
// otherwise, and in the same export as a crop.
#include "platform/media/ExportSession.h"

#include "capture/MediaProbe.h"
#include "platform/media/KeyFrameScan.h"
#include "platform/media/MediaAssetTestFiles.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <condition_variable>
#include <mutex>

namespace {
// A 3 s clip at 30 frames a second with a key frame every second.
testfiles::VideoSpec threeSeconds(bool hasBFrames = false)
{
    testfiles::VideoSpec clip;
    clip.frameCount = 90;
    clip.keyFrameInterval = 30;
    clip.hasBFrames = hasBFrames;
    return clip;
}

// Exports `input` shortened to `seconds` (and cropped when given); the session
// when it completed.
std::shared_ptr<ExportSession> shorten(const QString &input, const QString &output, double seconds,
    std::optional<VideoComposition> composition = std::nullopt)
{
    auto session = ExportSession::make(MediaAsset(input));
    if (!session) {
        return nullptr;
    }
    session->setOutputPath(output);
    session->setKeptDuration(seconds);
    if (composition) {
        session->setVideoComposition(*composition);
    }
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    session->exportAsynchronously([&] {
        std::lock_guard lock(mutex);
        finished = true;
        done.notify_all();
    });
    std::unique_lock lock(mutex);
    done.wait_for(lock, std::chrono::seconds(120), [&] { return finished; });
    return session->status() == ExportSession::Status::completed ? session : nullptr;
}
} // namespace

TEST(ExportTrim, FindsTheKeyFramesOfAStoredVideo)
{
    QTemporaryDir folder;
    const QString clip = folder.filePath("clip.mp4");
    ASSERT_TRUE(testfiles::writeVideo(clip, threeSeconds()));
    const auto atTwo = KeyFrameScan::firstFrameFrom(clip, 2.0);
    ASSERT_TRUE(atTwo.has_value());
    EXPECT_NEAR(atTwo->seconds, 2.0, 1e-3);
    EXPECT_TRUE(atTwo->isKeyFrame);
    const auto justAfter = KeyFrameScan::firstFrameFrom(clip, 1.99);
    ASSERT_TRUE(justAfter.has_value());
    EXPECT_NEAR(justAfter->seconds, 2.0, 1e-3) << "the first picture from there on";
    const auto midway = KeyFrameScan::firstFrameFrom(clip, 1.5);
    ASSERT_TRUE(midway.has_value());
    EXPECT_FALSE(midway->isKeyFrame);
    EXPECT_FALSE(KeyFrameScan::firstFrameFrom(clip, 5.0).has_value()) << "past the end";
    EXPECT_FALSE(KeyFrameScan::firstFrameFrom(folder.filePath("missing.mp4"), 1.0).has_value());
}

TEST(ExportTrim, AnEndOnAKeyFrameCopiesThePicturesAnyOtherReencodes)
{
    QTemporaryDir folder;
    for (const bool hasBFrames : {false, true}) {
        SCOPED_TRACE(hasBFrames ? "with B-frames" : "without B-frames");
        const QString clip = folder.filePath(hasBFrames ? "b.mp4" : "p.mp4");
        ASSERT_TRUE(testfiles::writeVideo(clip, threeSeconds(hasBFrames)));

        // The third key frame; later than 2 s when B-frames delay the pictures.
        double keyFrame = 0;
        for (double t = 1.9; t < 2.3 && keyFrame == 0; t += 1.0 / 60) {
            const auto frame = KeyFrameScan::firstFrameFrom(clip, t);
            keyFrame = frame && frame->isKeyFrame ? frame->seconds : 0;
        }
        ASSERT_GT(keyFrame, 1.9);
        const auto copied = shorten(clip, folder.filePath("copied.mp4"), keyFrame - 0.01);
        ASSERT_NE(copied, nullptr);
        EXPECT_TRUE(copied->didCopyVideo());
        const MediaProbe copy = MediaProbe::read(folder.filePath("copied.mp4"));
        EXPECT_TRUE(copy.decodeError.isEmpty()) << copy.decodeError.toStdString();
        // Every picture before the key frame, each still decodable (B-frames
        // shift the pictures by a frame or two).
        EXPECT_NEAR(copy.decodedVideoFrames, 60, 2);
        EXPECT_LT(copy.lastVideoSeconds, keyFrame);
        EXPECT_NEAR(copy.durationSeconds, keyFrame, 0.05);
        EXPECT_FALSE(copy.audioCodec.isEmpty()) << "the sound is kept";

        const auto reencoded = shorten(clip, folder.filePath("reencoded.mp4"), keyFrame - 0.5);
        ASSERT_NE(reencoded, nullptr);
        EXPECT_FALSE(reencoded->didCopyVideo());
        const MediaProbe encoded = MediaProbe::read(folder.filePath("reencoded.mp4"));
        EXPECT_TRUE(encoded.decodeError.isEmpty()) << encoded.decodeError.toStdString();
        EXPECT_NEAR(encoded.decodedVideoFrames, 45, 1);
        EXPECT_NEAR(encoded.durationSeconds, keyFrame - 0.5, 0.05) << "not filled up to the old length";
        EXPECT_FALSE(encoded.audioCodec.isEmpty());
    }
}

TEST(ExportTrim, CropAndCutInOneExport)
{
    QTemporaryDir folder;
    const QString clip = folder.filePath("clip.mp4");
    ASSERT_TRUE(testfiles::writeVideo(clip, threeSeconds()));
    // Even on a key frame: the crop re-encodes anyway.
    const auto session = shorten(clip, folder.filePath("out.mp4"), 2.0, VideoComposition{QRectF(40, 0, 240, 240)});
    ASSERT_NE(session, nullptr);
    EXPECT_FALSE(session->didCopyVideo());
    const MediaProbe probe = MediaProbe::read(folder.filePath("out.mp4"));
    EXPECT_EQ(probe.width, 240);
    EXPECT_EQ(probe.height, 240);
    EXPECT_NEAR(probe.durationSeconds, 2.0, 0.05);
    EXPECT_NEAR(probe.decodedVideoFrames, 60, 1);
}
