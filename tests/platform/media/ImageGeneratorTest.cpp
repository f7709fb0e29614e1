#include "platform/media/ImageGenerator.h"

#include "platform/media/MediaAssetTestFiles.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QPainter>
#include <QTemporaryDir>

namespace {
// Frame n is a flat grey of level 8n, so a picture tells its frame number.
QImage greyRamp(int index)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(QColor(index * 8, index * 8, index * 8));
    return image;
}

// White top-left quarter on black: shows which way a picture was turned.
QImage cornerMark(int)
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter(&image).fillRect(0, 0, 160, 120, Qt::white);
    return image;
}

int grey(const QImage &image, int x, int y)
{
    return qGray(image.pixel(x, y));
}
} // namespace

TEST(ImageGenerator, FittedSizeScalesDownKeepingProportions)
{
    const QSize box(320, 320);
    EXPECT_EQ(ImageGenerator::fittedSize({1920, 1080}, box), QSize(320, 180));
    EXPECT_EQ(ImageGenerator::fittedSize({1080, 1080}, box), QSize(320, 320));
    EXPECT_EQ(ImageGenerator::fittedSize({606, 1080}, box), QSize(180, 320));
    EXPECT_EQ(ImageGenerator::fittedSize({200, 100}, box), QSize(200, 100)); // never enlarged
    EXPECT_EQ(ImageGenerator::fittedSize({4000, 2}, box), QSize(320, 1));
    EXPECT_EQ(ImageGenerator::fittedSize({1920, 1080}, QSize()), QSize(1920, 1080));
}

TEST(ImageGenerator, PictureIsTheFrameShownAtTheRequestedTime)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ramp.mp4");
    testfiles::VideoSpec clip;
    clip.size = {64, 64};
    clip.frameCount = 30;
    clip.hasAudio = false;
    clip.hasBFrames = true; // reordered frames shift raw timestamps
    ASSERT_TRUE(testfiles::writeDrawnVideo(path, clip, greyRamp));

    QString error;
    const auto image = ImageGenerator(path).copyImage(0.5, &error);
    ASSERT_TRUE(image) << error.toStdString();
    EXPECT_EQ(image->size(), QSize(64, 64));
    EXPECT_NEAR(grey(*image, 32, 32), 15 * 8, 4); // frame 15 of 30 per second

    const auto first = ImageGenerator(path).copyImage(0.0, &error);
    ASSERT_TRUE(first) << error.toStdString();
    EXPECT_NEAR(grey(*first, 32, 32), 0, 4);
}

TEST(ImageGenerator, TurnsThePictureUprightAndFitsTheBox)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("turned.mp4");
    testfiles::VideoSpec clip;
    clip.size = {320, 240};
    clip.frameCount = 20;
    clip.hasAudio = false;
    clip.orientation = "rotate-90";
    ASSERT_TRUE(testfiles::writeDrawnVideo(path, clip, cornerMark));

    ImageGenerator generator(path);
    generator.setAppliesPreferredTrackTransform(true);
    generator.setMaximumSize({160, 160});
    QString error;
    const auto image = generator.copyImage(0.5, &error);
    ASSERT_TRUE(image) << error.toStdString();
    // 240 x 320 upright, fitted into 160 x 160.
    EXPECT_EQ(image->size(), QSize(120, 160));
    // A clockwise quarter turn moves the top-left mark to the top right.
    EXPECT_GT(grey(*image, 90, 20), 200);
    EXPECT_LT(grey(*image, 30, 20), 50);
    EXPECT_LT(grey(*image, 90, 140), 50);

    ImageGenerator stored(path);
    const auto raw = stored.copyImage(0.5, &error);
    ASSERT_TRUE(raw) << error.toStdString();
    EXPECT_EQ(raw->size(), QSize(320, 240));
    EXPECT_GT(grey(*raw, 40, 40), 200);
}

TEST(ImageGenerator, UnreadableFilesReportAnError)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(ImageGenerator(dir.filePath("missing.mp4")).copyImage(0.5, &error));
    EXPECT_TRUE(error.contains("missing.mp4")) << error.toStdString();

    const QString sound = dir.filePath("sound.mp4");
    ASSERT_TRUE(testfiles::writeSoundOnly(sound, 1.0));
    error.clear();
    EXPECT_FALSE(ImageGenerator(sound).copyImage(0.5, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ImageGenerator, ClipShorterThanTheTimeStillGivesAPicture)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("short.mp4");
    testfiles::VideoSpec clip;
    clip.size = {64, 64};
    clip.frameCount = 6; // 0.2 s
    clip.hasAudio = false;
    ASSERT_TRUE(testfiles::writeDrawnVideo(path, clip, greyRamp));
    QString error;
    const auto image = ImageGenerator(path).copyImage(0.5, &error);
    ASSERT_TRUE(image) << error.toStdString();
    EXPECT_EQ(image->size(), QSize(64, 64));
    EXPECT_NEAR(grey(*image, 32, 32), 5 * 8, 4); // the last frame
}
