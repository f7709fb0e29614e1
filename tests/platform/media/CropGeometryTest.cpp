#include "platform/media/CropGeometry.h"
#include "platform/media/DisplayTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
constexpr double ratio16x9 = 16.0 / 9.0;
constexpr double ratio4x3 = 4.0 / 3.0;
constexpr double ratio9x16 = 9.0 / 16.0;
} // namespace

TEST(CropGeometry, PictureAlreadyAtTheRatioIsNotCropped)
{
    EXPECT_FALSE(CropGeometry::cropRect({1920, 1080}, ratio16x9));
    EXPECT_FALSE(CropGeometry::cropRect({1080, 1080}, 1.0));
    // 1.775 is within 0.01 of 16:9.
    EXPECT_FALSE(CropGeometry::cropRect({1775, 1000}, ratio16x9));
    // Just outside the tolerance it is cropped.
    EXPECT_TRUE(CropGeometry::cropRect({1766, 1000}, ratio16x9));
}

TEST(CropGeometry, WidePictureKeepsFullHeightCentred)
{
    EXPECT_EQ(CropGeometry::cropRect({1920, 1080}, 1.0), QRectF(420, 0, 1080, 1080));
    EXPECT_EQ(CropGeometry::cropRect({1920, 1080}, ratio4x3), QRectF(240, 0, 1440, 1080));
    // Not rounded: half pixels stay.
    const auto portrait = CropGeometry::cropRect({1920, 1080}, ratio9x16);
    ASSERT_TRUE(portrait);
    EXPECT_DOUBLE_EQ(portrait->x(), 656.25);
    EXPECT_DOUBLE_EQ(portrait->width(), 607.5);
    EXPECT_DOUBLE_EQ(portrait->height(), 1080.0);
}

TEST(CropGeometry, TallPictureKeepsFullWidthCentred)
{
    EXPECT_EQ(CropGeometry::cropRect({640, 480}, ratio16x9), QRectF(0, 60, 640, 360));
    EXPECT_EQ(CropGeometry::cropRect({1080, 1920}, 1.0), QRectF(0, 420, 1080, 1080));
}

TEST(CropGeometry, QuarterTurnCountsInDisplayCoordinates)
{
    const QSizeF display = DisplayTransform(DisplayTransform::rotate90).apply({1080, 1920});
    EXPECT_EQ(display, QSizeF(1920, 1080));
    EXPECT_FALSE(CropGeometry::cropRect(display, ratio16x9));
    EXPECT_EQ(CropGeometry::cropRect(display, 1.0), QRectF(420, 0, 1080, 1080));

    EXPECT_EQ(DisplayTransform(DisplayTransform::flipRotate270).apply({1080, 1920}), QSizeF(1920, 1080));
    EXPECT_EQ(DisplayTransform(DisplayTransform::rotate180).apply({1080, 1920}), QSizeF(1080, 1920));
    EXPECT_EQ(DisplayTransform::fromOrientationTag("rotate-270"), DisplayTransform::rotate270);
    EXPECT_EQ(DisplayTransform::fromOrientationTag("flip-rotate-90"), DisplayTransform::flipRotate90);
    EXPECT_EQ(DisplayTransform::fromOrientationTag("sideways"), DisplayTransform::identity);
}

TEST(CropGeometry, UnmeasurableInputGivesNoCrop)
{
    EXPECT_FALSE(CropGeometry::cropRect({0, 1080}, 1.0));
    EXPECT_FALSE(CropGeometry::cropRect({1920, 0}, 1.0));
    EXPECT_FALSE(CropGeometry::cropRect({1920, 1080}, 0.0));
    EXPECT_FALSE(CropGeometry::cropRect({1920, 1080}, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(CropGeometry::cropRect({1920, 1080}, std::numeric_limits<double>::infinity()));
}

TEST(CropGeometry, EncodedRectIsEvenAndStaysCentred)
{
    const QSizeF display(1920, 1080);
    const QRect portrait = CropGeometry::encodedRect(*CropGeometry::cropRect(display, ratio9x16), display);
    EXPECT_EQ(portrait.width() % 2, 0);
    EXPECT_EQ(portrait.height(), 1080);
    EXPECT_TRUE(portrait.width() == 606 || portrait.width() == 608) << portrait.width();
    // Equal margins left and right.
    EXPECT_EQ(portrait.left(), 1920 - (portrait.right() + 1));

    // Exact even rectangles pass unchanged.
    EXPECT_EQ(CropGeometry::encodedRect(QRectF(420, 0, 1080, 1080), display), QRect(420, 0, 1080, 1080));
    EXPECT_EQ(CropGeometry::encodedRect(QRectF(0, 60, 640, 360), {640, 480}), QRect(0, 60, 640, 360));

    // Odd frame sizes: every side stays inside the picture, sizes even.
    for (const QSizeF odd : {QSizeF(641, 481), QSizeF(1279, 719), QSizeF(333, 999)}) {
        for (const double ratio : {1.0, ratio4x3, ratio16x9, ratio9x16}) {
            const auto exact = CropGeometry::cropRect(odd, ratio);
            if (!exact) {
                continue;
            }
            const QRect encoded = CropGeometry::encodedRect(*exact, odd);
            EXPECT_EQ(encoded.width() % 2, 0);
            EXPECT_EQ(encoded.height() % 2, 0);
            EXPECT_GE(encoded.left(), 0);
            EXPECT_GE(encoded.top(), 0);
            EXPECT_LE(encoded.right(), int(odd.width()) - 1);
            EXPECT_LE(encoded.bottom(), int(odd.height()) - 1);
            EXPECT_LE(std::abs(QRectF(encoded).center().x() - exact->center().x()), 0.5);
            EXPECT_LE(std::abs(QRectF(encoded).center().y() - exact->center().y()), 0.5);
        }
    }
}
