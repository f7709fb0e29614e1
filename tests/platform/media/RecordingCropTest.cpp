#include "platform/media/RecordingCrop.h"
#include "CaptureSessionTestSupport.h"
#include "RecordingProbe.h"
#include "StreamSamples.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {
// Full-strength bars: every colour survives 4:2:0 and back.
CaptureDevice fullBarsCamera()
{
    return TestDevices::patternCamera(QStringLiteral("Bars"), QStringLiteral("test:bars100"),
        QStringLiteral("videotestsrc is-live=true pattern=smpte100"));
}

// Records about a second from a colour-bar camera and hands back the file.
QString recordBars(
    RunningSession &run, const QString &path, std::optional<double> ratio, std::optional<QRect> *cropRect = nullptr)
{
    FinishedReports reports;
    if (!run.waitForPreviewFrames(3)) {
        return {};
    }
    run.output.startRecording(path, MovieFileOutput::RecordingSettings{ratio}, reports.delegate());
    if (cropRect) {
        *cropRect = run.output.recordingCropRect();
    }
    run.waitForPreviewFrames(15);
    run.output.stopRecording();
    return reports.waitFor(1) && !reports.error() ? path : QString();
}
} // namespace

TEST(RecordingCrop, RectangleIsCentredWithEvenSizesAndNoneAtTheRatio)
{
    const QSize fullHd(1920, 1080);
    // 607.5 wide, even: 606 from 657.
    EXPECT_EQ(RecordingCrop::rectFor(fullHd, 9.0 / 16), QRect(657, 0, 606, 1080));
    EXPECT_EQ(RecordingCrop::rectFor(fullHd, 1.0), QRect(420, 0, 1080, 1080));
    EXPECT_EQ(RecordingCrop::rectFor(fullHd, 4.0 / 3), QRect(240, 0, 1440, 1080));
    EXPECT_EQ(RecordingCrop::rectFor(QSize(640, 480), 16.0 / 9), QRect(0, 60, 640, 360));
    EXPECT_FALSE(RecordingCrop::rectFor(fullHd, 16.0 / 9));
    EXPECT_FALSE(RecordingCrop::rectFor(QSize(1775, 1000), 16.0 / 9)) << "within the tolerance";
    EXPECT_FALSE(RecordingCrop::rectFor(QSize(), 1.0));
}

// The first and the last picture of each take hold the crop rectangle of the
// camera's colour bars: a crop off centre, or one applied late, shows other
// bars.
TEST(RecordingCrop, EveryPictureOfATakeIsTheCropOfTheCameraPicture)
{
    struct Case {
        SessionPreset preset;
        QSize camera;
        double ratio;
        QRect expected;
    };
    const QList<Case> cases = {
        {SessionPreset::p1920x1080, {1920, 1080}, 9.0 / 16, {657, 0, 606, 1080}},
        {SessionPreset::p1920x1080, {1920, 1080}, 1.0, {420, 0, 1080, 1080}},
        {SessionPreset::p1920x1080, {1920, 1080}, 4.0 / 3, {240, 0, 1440, 1080}},
        {SessionPreset::p640x480, {640, 480}, 16.0 / 9, {0, 60, 640, 360}},
    };
    QTemporaryDir dir;
    for (const Case &take : cases) {
        SCOPED_TRACE(take.ratio);
        const QImage bars = samples::pattern(QStringLiteral("smpte100"), take.camera.width(), take.camera.height());
        ASSERT_FALSE(bars.isNull());
        RunningSession run(false, take.preset, fullBarsCamera());
        std::optional<QRect> cropRect;
        const QString path
            = recordBars(run, dir.filePath(QStringLiteral("take-%1.mp4").arg(take.ratio)), take.ratio, &cropRect);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_EQ(cropRect, take.expected);

        const samples::Pictures pictures = samples::decoded(path);
        ASSERT_TRUE(pictures.error.isEmpty()) << pictures.error.toStdString();
        ASSERT_GT(pictures.count, 1);
        EXPECT_EQ(pictures.first.size(), take.expected.size());
        EXPECT_EQ(pictures.last.size(), take.expected.size());
        const QImage wanted = bars.copy(take.expected);
        EXPECT_LT(samples::blockDifference(pictures.first, wanted), 8);
        EXPECT_LT(samples::blockDifference(pictures.last, wanted), 8);
        // The comparison tells crops apart: the same size from the left differs.
        if (take.expected.x() > 0) {
            EXPECT_GT(samples::blockDifference(pictures.first, bars.copy(QRect(QPoint(), take.expected.size()))), 20);
        }
    }
}

TEST(RecordingCrop, APictureAtTheRatioOrATakeWithoutOneIsRecordedWhole)
{
    QTemporaryDir dir;
    RunningSession run(false, SessionPreset::p1280x720, fullBarsCamera());
    for (const std::optional<double> ratio : {std::optional<double>(16.0 / 9), std::optional<double>()}) {
        std::optional<QRect> cropRect = QRect(1, 1, 1, 1);
        const QString path
            = recordBars(run, dir.filePath(QStringLiteral("whole-%1.mp4").arg(ratio.has_value())), ratio, &cropRect);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_FALSE(cropRect);
        const samples::Pictures pictures = samples::decoded(path);
        EXPECT_EQ(pictures.last.size(), QSize(1280, 720));
        EXPECT_LT(samples::blockDifference(pictures.last, samples::pattern(QStringLiteral("smpte100"), 1280, 720)), 8);
    }
}
