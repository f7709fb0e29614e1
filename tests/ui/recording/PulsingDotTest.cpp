#include "ui/recording/PulsingDot.h"

#include <gtest/gtest.h>

#include <QVariantAnimation>
#include <QWidget>

TEST(PulsingDot, FadesToFourTenthsAndBackWithEaseInOut)
{
    QWidget window;
    auto *dot = new QWidget(&window);
    dot->resize(14, 14);
    auto *pulse = new PulsingDot(dot);
    EXPECT_FALSE(pulse->isPulsing()) << "not before it comes on screen";
    EXPECT_DOUBLE_EQ(pulse->opacity(), 1.0);

    window.show();
    ASSERT_TRUE(pulse->isPulsing());
    QVariantAnimation *animation = pulse->animation();
    EXPECT_EQ(animation->state(), QAbstractAnimation::Running);
    EXPECT_EQ(animation->loopCount(), -1) << "without end";

    // The animation's clock set by hand: no wall-clock timing in the test.
    animation->setCurrentTime(0);
    EXPECT_NEAR(pulse->opacity(), 1.0, 1e-6);
    animation->setCurrentTime(800);
    EXPECT_NEAR(pulse->opacity(), 0.4, 1e-6);
    animation->setCurrentTime(400);
    EXPECT_NEAR(pulse->opacity(), 0.7, 0.01) << "halfway in time is halfway in opacity";
    animation->setCurrentTime(100);
    EXPECT_GT(pulse->opacity(), 1.0 - 0.6 * 0.125 + 0.01) << "eases in: slower than linear at the start";
    animation->setCurrentTime(1200);
    EXPECT_NEAR(pulse->opacity(), 0.7, 0.01) << "on the way back";
    animation->setCurrentTime(1600 + 800);
    EXPECT_NEAR(pulse->opacity(), 0.4, 1e-6) << "the second loop repeats the first";
    animation->setCurrentTime(3200);
    EXPECT_NEAR(pulse->opacity(), 1.0, 1e-6);
}

TEST(PulsingDot, StopsWhenHiddenAndStartsAfreshWhenShownAgain)
{
    QWidget window;
    auto *dot = new QWidget(&window);
    auto *pulse = new PulsingDot(dot);
    window.show();
    pulse->animation()->setCurrentTime(800);
    ASSERT_NEAR(pulse->opacity(), 0.4, 1e-6);

    dot->hide();
    EXPECT_FALSE(pulse->isPulsing());
    EXPECT_DOUBLE_EQ(pulse->opacity(), 1.0);
    EXPECT_NE(pulse->animation()->state(), QAbstractAnimation::Running);

    dot->show();
    EXPECT_TRUE(pulse->isPulsing());
    EXPECT_EQ(pulse->animation()->currentTime(), 0) << "starts again from full opacity";
    EXPECT_NEAR(pulse->opacity(), 1.0, 1e-6);
}
