#include "ui/recording/AspectRatioCropOverlay.h"

#include "library/VideoAspectRatio.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace {

// The overlay drawn over a plain picture of one colour, the way the screen
// draws it over the preview.
QImage composedOver(QColor picture, QSize area, double ratio, qreal pixelRatio = 1)
{
    QImage image((QSizeF(area) * pixelRatio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(picture);
    QPainter painter(&image);
    painter.drawImage(QPoint(0, 0), AspectRatioCropOverlay::render(area, pixelRatio, ratio));
    return image;
}

int grey(const QImage &image, int x, int y)
{
    return qGray(image.pixel(x, y));
}

} // namespace

TEST(AspectRatioCropOverlay, FrameGeometry)
{
    const QRectF wide
        = AspectRatioCropOverlay::frameRect({1000, 500}, VideoAspectRatio(VideoAspectRatio::ratio16x9).ratio());
    EXPECT_DOUBLE_EQ(wide.height(), 500);
    EXPECT_NEAR(wide.width(), 888.9, 0.05);
    EXPECT_NEAR(wide.left(), 55.6, 0.05);
    EXPECT_DOUBLE_EQ(wide.top(), 0);

    const QRectF tall = AspectRatioCropOverlay::frameRect({1000, 500}, 0.5625);
    EXPECT_DOUBLE_EQ(tall.width(), 281.25);
    EXPECT_DOUBLE_EQ(tall.height(), 500);
    EXPECT_DOUBLE_EQ(tall.left(), 359.375);

    const QRectF square = AspectRatioCropOverlay::frameRect({400, 600}, 1.0);
    EXPECT_EQ(square, QRectF(0, 100, 400, 400));

    // Proportions equal to the ratio: the frame is the whole area.
    EXPECT_EQ(AspectRatioCropOverlay::frameRect({1600, 900}, 16.0 / 9), QRectF(0, 0, 1600, 900));
    EXPECT_EQ(AspectRatioCropOverlay::frameRect({400, 300}, 4.0 / 3), QRectF(0, 0, 400, 300));

    // An empty area gives an empty frame, never a division by zero.
    EXPECT_TRUE(AspectRatioCropOverlay::frameRect({1000, 0}, 1.0).isEmpty());
    EXPECT_TRUE(AspectRatioCropOverlay::frameRect({0, 500}, 1.0).isEmpty());
    EXPECT_TRUE(AspectRatioCropOverlay::frameRect({0, 0}, 1.0).isEmpty());
}

TEST(AspectRatioCropOverlay, PixelsOverAKnownPicture)
{
    // 1:1 in 600 x 400: the frame is 400 x 400 from x = 100 to 500.
    const QImage shown = composedOver(QColor(200, 200, 200), {600, 400}, 1.0);

    // Inside the frame, away from the border: the picture unchanged.
    EXPECT_EQ(shown.pixel(300, 200), qRgb(200, 200, 200));
    EXPECT_EQ(shown.pixel(120, 30), qRgb(200, 200, 200));
    EXPECT_EQ(shown.pixel(480, 370), qRgb(200, 200, 200));

    // Far outside: dimmed by black at 0.3.
    EXPECT_NEAR(grey(shown, 20, 200), 140, 1);
    EXPECT_NEAR(grey(shown, 580, 30), 140, 1);

    // The border's inner point is lighter than the picture; the outer half
    // is cut away by the rounded clip, so just outside the edge there is no
    // white.
    EXPECT_GT(grey(shown, 100, 200), 215) << "left border";
    EXPECT_GT(grey(shown, 499, 200), 215) << "right border";
    EXPECT_LT(grey(shown, 98, 200), 200) << "outer half of the stroke cut away";

    // The cut-out's shadow (2 down, blur 4) erases some dimming just outside
    // the frame, most below its lower edge; it fades with distance.
    const QImage bottomBand = composedOver(QColor(200, 200, 200), {400, 600}, 1.0);
    // 1:1 in 400 x 600: the frame runs from y = 100 to 500.
    const int justBelow = grey(bottomBand, 200, 503);
    const int justAbove = grey(bottomBand, 200, 97);
    const int farBelow = grey(bottomBand, 200, 560);
    EXPECT_NEAR(farBelow, 140, 1);
    EXPECT_GT(justBelow, farBelow + 3) << "lighter band under the frame";
    EXPECT_GT(justBelow, justAbove) << "the shadow falls downward";

    // The rounded corner leaves the square corner dimmed.
    EXPECT_NEAR(grey(bottomBand, 1, 101), 140, 6);
}

TEST(AspectRatioCropOverlay, EdgeCasesAndHiDpi)
{
    // Equal proportions: nothing is dimmed anywhere away from the border.
    const QImage whole = composedOver(QColor(100, 150, 200), {320, 180}, 16.0 / 9);
    EXPECT_EQ(whole.pixel(160, 90), qRgb(100, 150, 200));
    EXPECT_EQ(whole.pixel(40, 20), qRgb(100, 150, 200));

    // An empty frame: the whole area dimmed.
    const QImage image = AspectRatioCropOverlay::render({200, 100}, 1, 0.0);
    EXPECT_NEAR(qAlpha(image.pixel(100, 50)), 77, 1);

    // Twice the pixels for a HiDPI screen, same picture.
    const QImage doubled = composedOver(QColor(200, 200, 200), {600, 400}, 1.0, 2);
    EXPECT_EQ(doubled.size(), QSize(1200, 800));
    EXPECT_EQ(doubled.pixel(600, 400), qRgb(200, 200, 200));
    EXPECT_NEAR(grey(doubled, 40, 400), 140, 1);
}

TEST(AspectRatioCropOverlay, WidgetPassesClicksAndCanBeTransparent)
{
    QWidget host;
    host.resize(600, 400);
    host.setAutoFillBackground(true);
    QPalette palette = host.palette();
    palette.setColor(QPalette::Window, QColor(200, 200, 200));
    host.setPalette(palette);
    auto *overlay = new AspectRatioCropOverlay(1.0, true, &host);
    overlay->setGeometry(host.rect());
    EXPECT_TRUE(overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(host.childAt(300, 200), nullptr) << "hit testing goes through";
    EXPECT_EQ(overlay->frameRect(), QRectF(100, 0, 400, 400));

    // Drawn in bands around the clear middle: the same pixels as a whole render.
    const QImage grabbed = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage expected = composedOver(QColor(200, 200, 200), {600, 400}, 1.0);
    for (const QPoint point : {QPoint(20, 200), QPoint(100, 200), QPoint(300, 200), QPoint(112, 12), QPoint(499, 399),
             QPoint(300, 13), QPoint(300, 14), QPoint(113, 200)}) {
        EXPECT_EQ(grabbed.pixel(point), expected.pixel(point)) << point.x() << "," << point.y();
    }

    overlay->setFrameVisible(false);
    const QImage hidden = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(hidden.pixel(20, 200), qRgb(200, 200, 200));
    EXPECT_EQ(hidden.pixel(100, 200), qRgb(200, 200, 200));

    overlay->setFrameVisible(true);
    overlay->setRatio(0.5625);
    EXPECT_NEAR(overlay->frameRect().width(), 225, 0.01);
    const QImage tall = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_NEAR(grey(tall, 150, 200), 140, 1) << "inside the old frame, outside the new one";
}

// Painted in parts (blended near the frame, filled far from it, nothing deep
// inside), the widget must show exactly the whole overlay over any picture.
TEST(AspectRatioCropOverlay, WidgetShowsExactlyTheRenderOverAMovingPicture)
{
    const QSize area(640, 360);
    QImage picture(area, QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            picture.setPixel(x, y, qRgb((x * 7 + y) % 256, (y * 3) % 256, (x ^ y) % 256));
        }
    }
    for (const double ratio : {0.5625, 1.0, 16.0 / 9.0, 4.0 / 3.0}) {
        QWidget host;
        host.resize(area);
        auto *below = new QLabel(&host);
        below->setPixmap(QPixmap::fromImage(picture));
        below->setGeometry(host.rect());
        auto *overlay = new AspectRatioCropOverlay(ratio, true, &host);
        overlay->setGeometry(host.rect());
        const QImage grabbed = host.grab().toImage().convertToFormat(QImage::Format_RGB32);

        QImage expected = picture;
        QPainter(&expected).drawImage(QPoint(0, 0), AspectRatioCropOverlay::render(area, 1, ratio));
        qint64 differing = 0;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                differing += grabbed.pixel(x, y) != expected.pixel(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(differing, 0) << "ratio " << ratio;
    }
}
