#include "RecordingScreenFixture.h"
#include "StoredOptions.h"

#include "library/RecordingOptions.h"
#include "ui/recording/AspectRatioCropOverlay.h"
#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingOptionsButton.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterView.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>

#include <algorithm>
#include <cstdlib>

using namespace RecordingScreen;

namespace {
// Colour bars: light grey at the left edge, blue at the right, in the top half.
bool isGrey(QRgb pixel)
{
    return qRed(pixel) > 150 && qGreen(pixel) > 150 && qBlue(pixel) > 150;
}
bool isBlue(QRgb pixel)
{
    return qBlue(pixel) > 150 && qRed(pixel) < 60 && qGreen(pixel) < 60;
}
QRgb leftTop(const QImage &image)
{
    return image.pixel(image.width() / 20, image.height() / 5);
}
QRgb rightTop(const QImage &image)
{
    return image.pixel(image.width() * 19 / 20, image.height() / 5);
}

// Pixels of two images of one size that differ by more than `tolerance` in a channel.
int differingPixels(const QImage &a, const QImage &b, const QRect &part, int tolerance = 40)
{
    int differing = 0;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        for (int x = part.left(); x <= part.right(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance
                || std::abs(qBlue(p) - qBlue(q)) > tolerance) {
                ++differing;
            }
        }
    }
    return differing;
}

// Text placed at fractions of a pixel and hinted only when drawn unflipped
// differs from its flipped copy along the glyphs' edges: compared at a
// quarter of the size, where only the shapes remain.
QImage coarse(const QImage &image)
{
    return image.scaled(image.size() / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage grabbed(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool waitForNewFrames(const CameraPreviewView *preview, qint64 frames = 2)
{
    const qint64 start = preview->framesShown();
    return MainLoop::waitUntil(
        [&] {
            const_cast<CameraPreviewView *>(preview)->repaint();
            return preview->framesShown() >= start + frames;
        },
        10000);
}
} // namespace

TEST(Mirror, ThePreviewIsMirroredWhileTheRecordedFileIsNot)
{
    forgetStoredOptions();
    Screen screen;
    ASSERT_TRUE(screen.waitForCamera());
    CameraPreviewView *preview = screen.view->pictureArea()->preview();
    AspectRatioCropOverlay *overlay = screen.view->pictureArea()->overlay();
    ASSERT_TRUE(waitForNewFrames(preview));
    const QImage plain = grabbed(preview);
    ASSERT_TRUE(isGrey(leftTop(plain)) && isBlue(rightTop(plain))) << "the camera's own orientation";
    const QRectF frame = overlay->frameRect();

    screen.view->aids()->optionsButton()->item(QStringLiteral("镜像预览"))->trigger();
    ASSERT_TRUE(preview->isMirrored());
    ASSERT_TRUE(waitForNewFrames(preview));
    const QImage mirrored = grabbed(preview);
    EXPECT_TRUE(isBlue(leftTop(mirrored)) && isGrey(rightTop(mirrored)));
    // Pixel for pixel the picture's mirror image (the bars; the bottom has noise).
    const QRect bars(0, 0, plain.width(), plain.height() * 6 / 10);
    EXPECT_LT(differingPixels(mirrored, plain.mirrored(true, false), bars), bars.width() * bars.height() / 100);
    EXPECT_EQ(overlay->frameRect(), frame) << "the framing stays centred";

    // A take recorded meanwhile keeps the camera's orientation.
    RecordButton *button = screen.view->controlPanel()->voiceFeedbackRow()->recordButton();
    button->click();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screen.camera->isRecording(); }, 15000));
    MainLoop::spin(1200);
    EXPECT_TRUE(isBlue(leftTop(grabbed(preview)))) << "still mirrored while recording";
    button->click();
    ASSERT_TRUE(screen.waitForLibraryRows(1));
    const QString path = screen.camera->currentRecordingURL().value_or(QString());
    const std::optional<QImage> still = CameraManager::generateThumbnail(path);
    ASSERT_TRUE(still.has_value()) << path.toStdString();
    const QImage recorded = still->convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(isGrey(leftTop(recorded))) << std::hex << leftTop(recorded);
    EXPECT_TRUE(isBlue(rightTop(recorded))) << std::hex << rightTop(recorded);
    forgetStoredOptions();
}

namespace {
// The box over a plain grey picture, as the screen shows it.
struct TextBox {
    RecordingViewState state;
    QWidget host;
    TeleprompterView *view;

    TextBox()
    {
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, QColor(90, 90, 90));
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        host.resize(600, 300);
        view = new TeleprompterView(&state, &host);
        view->setGeometry(host.rect());
        // Lines of different lengths: a mirror shows in where each one ends.
        state.setTeleprompterText(QStringLiteral("大家好，欢迎收看\n今天聊一聊灯光\nABC 123 右边\n"
                                                 "第四行稍微长一些的句子\n五\n第六行\n第七行的字\n第八行"));
        host.show();
    }
};
} // namespace

TEST(Mirror, AMirrorTurnedOnAfterThePictureAreaWentTouchesNothing)
{
    forgetStoredOptions();
    Screen screen;
    delete screen.view->pictureArea();
    RecordingOptions *options = screen.view->aids()->options();
    options->setIsMirroringPreview(!options->isMirroringPreview());
    options->setIsMirroringText(!options->isMirroringText());
    MainLoop::drain();
    forgetStoredOptions();
}

TEST(Mirror, TheTextIsDrawnMirroredWithTheSameLayout)
{
    TextBox box;
    for (const double offset : {0.0, 60.0}) {
        SCOPED_TRACE(offset);
        box.state.setScrollOffset(offset);
        box.view->setMirrored(false);
        const QImage plain = grabbed(&box.host);
        const int layouts = box.view->textLayout().layoutCount();
        const double height = box.view->contentHeight();
        const double position = box.view->scrollPosition();

        box.view->setMirrored(true);
        const QImage mirrored = grabbed(&box.host);
        EXPECT_EQ(box.view->textLayout().layoutCount(), layouts) << "a draw-time transform, no new layout";
        EXPECT_EQ(box.view->contentHeight(), height);
        EXPECT_EQ(box.view->scrollPosition(), position) << "scrolled as far";

        int ink = 0;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                ink += qRed(plain.pixel(x, y)) > 200 ? 1 : 0;
            }
        }
        ASSERT_GT(ink, 2000) << "there is text to compare";
        EXPECT_GT(differingPixels(coarse(mirrored), coarse(plain), coarse(plain).rect(), 48), ink / 16 / 4)
            << "it did change";
        // Glyphs rendered under a flip may differ in their anti-aliased edges only.
        const QImage expected = plain.mirrored(true, false);
        const QImage shapes = coarse(mirrored);
        EXPECT_LT(differingPixels(shapes, coarse(expected), shapes.rect(), 48), ink / 16 / 50)
            << "the plain text's mirror image, line for line";
        if (offset > 0 && HasFailure()) {
            plain.save(QStringLiteral("/tmp/mirror-plain.png"));
            mirrored.save(QStringLiteral("/tmp/mirror-mirrored.png"));
        }
    }
}
