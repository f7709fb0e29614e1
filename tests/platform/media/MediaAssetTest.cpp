#include "platform/media/MediaAsset.h"

#include "platform/media/MediaAssetTestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

TEST(MediaAsset, ReadsTracksSizeRateAndDuration)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("clip.mp4");
    testfiles::VideoSpec clip;
    clip.size = {320, 180};
    clip.frameCount = 15;
    ASSERT_TRUE(testfiles::writeVideo(path, clip));

    const MediaAsset asset(path);
    ASSERT_TRUE(asset.isReadable()) << asset.errorDescription().toStdString();
    const QList<MediaTrack> video = asset.tracks(MediaType::video);
    ASSERT_EQ(video.size(), 1);
    EXPECT_EQ(video.first().naturalSize, QSizeF(320, 180));
    EXPECT_EQ(video.first().preferredTransform, DisplayTransform::identity);
    EXPECT_DOUBLE_EQ(video.first().nominalFrameRate, 30.0);
    EXPECT_EQ(asset.tracks(MediaType::audio).size(), 1);
    EXPECT_NEAR(asset.durationSeconds(), 0.5, 0.05);
}

TEST(MediaAsset, StoredRotationBecomesThePreferredTransform)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("turned.mp4");
    testfiles::VideoSpec clip;
    clip.size = {320, 180};
    clip.frameCount = 5;
    clip.hasAudio = false;
    clip.orientation = "rotate-90";
    ASSERT_TRUE(testfiles::writeVideo(path, clip));

    const QList<MediaTrack> video = MediaAsset(path).tracks(MediaType::video);
    ASSERT_EQ(video.size(), 1);
    EXPECT_EQ(video.first().naturalSize, QSizeF(320, 180));
    EXPECT_EQ(video.first().preferredTransform, DisplayTransform::rotate90);
    EXPECT_EQ(video.first().preferredTransform.apply(video.first().naturalSize), QSizeF(180, 320));
}

TEST(MediaAsset, FilesWithoutPictureHaveNoVideoTrack)
{
    QTemporaryDir dir;
    const QString sound = dir.filePath("sound.mp4");
    ASSERT_TRUE(testfiles::writeSoundOnly(sound, 0.3));
    const MediaAsset soundAsset(sound);
    EXPECT_TRUE(soundAsset.isReadable());
    EXPECT_TRUE(soundAsset.tracks(MediaType::video).isEmpty());
    EXPECT_EQ(soundAsset.tracks(MediaType::audio).size(), 1);

    const QString garbage = dir.filePath("garbage.mp4");
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, '\x5a'));
    file.close();
    const MediaAsset garbageAsset(garbage);
    EXPECT_FALSE(garbageAsset.isReadable());
    EXPECT_FALSE(garbageAsset.errorDescription().isEmpty());
    EXPECT_TRUE(garbageAsset.tracks(MediaType::video).isEmpty());

    const MediaAsset missing(dir.filePath("missing.mp4"));
    EXPECT_FALSE(missing.isReadable());
    EXPECT_TRUE(missing.tracks(MediaType::video).isEmpty());
}
