#include "platform/media/ImageGenerator.h"

#include "platform/media/MediaAssetTestFiles.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QPainter>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

TEST(ImageGenerator, BrokenFilesReportAnError)
{
    QTemporaryDir dir;
    const auto failureOf = [](const QString &path) {
        ImageGenerator generator(path);
        generator.setAppliesPreferredTrackTransform(true);
        generator.setMaximumSize({320, 320});
        QString error;
        const auto image = generator.copyImage(0.5, &error);
        return image ? QString() : error;
    };

    QString error = failureOf(dir.filePath("missing.mp4"));
    EXPECT_TRUE(error.contains("missing.mp4")) << error.toStdString();

    const QString empty = dir.filePath("empty.mp4");
    ASSERT_TRUE(writeBytes(empty, {}));
    EXPECT_FALSE(failureOf(empty).isEmpty());

    const QString garbage = dir.filePath("garbage.mp4");
    QByteArray noise(64 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) {
        noise[i] = char((i * 7919) % 251);
    }
    ASSERT_TRUE(writeBytes(garbage, QByteArray::fromHex("0000001866747970") + noise));
    EXPECT_FALSE(failureOf(garbage).isEmpty());

    // A recording cut short before its index was written.
    const QString whole = dir.filePath("whole.mp4");
    testfiles::VideoSpec clip;
    clip.size = {160, 120};
    clip.frameCount = 30;
    ASSERT_TRUE(testfiles::writeVideo(whole, clip));
    const QByteArray bytes = readBytes(whole);
    const QString truncated = dir.filePath("truncated.mp4");
    ASSERT_TRUE(writeBytes(truncated, bytes.left(bytes.indexOf("moov") - 4)));
    EXPECT_FALSE(failureOf(truncated).isEmpty());

    const QString sound = dir.filePath("sound.mp4");
    ASSERT_TRUE(testfiles::writeSoundOnly(sound, 1.0));
    error = failureOf(sound);
    EXPECT_TRUE(error.contains("no video track")) << error.toStdString();
}

TEST(ImageGenerator, StalledFileGivesUpAndIsStoppedOnceItsWriterEnds)
{
    QTemporaryDir dir;
    const QString whole = dir.filePath("whole.mp4");
    testfiles::VideoSpec clip;
    clip.size = {160, 120};
    clip.frameCount = 30;
    clip.hasAudio = false;
    ASSERT_TRUE(testfiles::writeVideo(whole, clip));
    const QByteArray bytes = readBytes(whole);

    // A pipe that delivers the start of the file and then nothing, like a
    // file on a hung network share.
    const QString fifo = dir.filePath("stalled.mp4");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, bytes.constData(), 64), 64);

    ImageGenerator generator(fifo);
    generator.setTimeoutSeconds(0.5);
    QString error;
    EXPECT_FALSE(generator.copyImage(0.5, &error));
    EXPECT_TRUE(error.contains("timed out")) << error.toStdString();

    // The rest arrives after the extractor has returned: whatever the graph
    // does with it now must not reach the finished call.
    const qsizetype rest = bytes.size() - 64;
    EXPECT_EQ(::write(writer, bytes.constData() + 64, size_t(rest)), rest);
    ::close(writer);
    EXPECT_TRUE(MainLoop::waitUntil([] { return ImageGenerator::graphsStoppingInBackground() == 0; }, 60000));
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
