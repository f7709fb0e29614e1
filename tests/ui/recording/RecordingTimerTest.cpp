#include "ui/recording/RecordingTimer.h"
#include "platform/SteadyClock.h"
#include "ui/recording/RecordingIndicator.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>

#include <cmath>
#include <limits>

TEST(RecordingTimer, WritesMinutesAndSecondsThenHours)
{
    EXPECT_EQ(RecordingTimer::format(0), "00:00");
    EXPECT_EQ(RecordingTimer::format(12), "00:12");
    EXPECT_EQ(RecordingTimer::format(59), "00:59");
    EXPECT_EQ(RecordingTimer::format(59.999), "00:59") << "whole seconds, cut toward zero";
    EXPECT_EQ(RecordingTimer::format(60), "01:00");
    EXPECT_EQ(RecordingTimer::format(3599), "59:59");
    EXPECT_EQ(RecordingTimer::format(3600), "1:00:00");
    EXPECT_EQ(RecordingTimer::format(3723), "1:02:03");
    EXPECT_EQ(RecordingTimer::format(36000), "10:00:00");
    EXPECT_EQ(RecordingTimer::format(-3), "00:00");
    EXPECT_EQ(RecordingTimer::format(std::numeric_limits<double>::quiet_NaN()), "00:00");
    EXPECT_EQ(RecordingTimer::format(std::numeric_limits<double>::infinity()).right(6), ":46:40")
        << "a broken clock gives a long time, not a crash";
}

TEST(RecordingTimer, CountsFromTheFirstPictureOnTheClockItIsGiven)
{
    double now = 5000;
    RecordingTimer timer([&] { return now; });
    QSignalSpy changes(&timer, &RecordingTimer::elapsedTextChanged);
    EXPECT_EQ(timer.elapsedText(), "00:00");
    EXPECT_FALSE(timer.isCounting()) << "nothing to count before the first picture";

    timer.setStartedAt(now - 0.25); // the picture came a moment before the screen heard of it
    EXPECT_TRUE(timer.isCounting());
    EXPECT_EQ(timer.elapsedText(), "00:00");
    for (const auto &[seconds, text] : {std::pair(59.0, "00:59"), {60.0, "01:00"}, {3600.0, "1:00:00"}}) {
        now = 5000 - 0.25 + seconds;
        timer.refresh();
        EXPECT_EQ(timer.elapsedText(), text);
    }
    EXPECT_EQ(changes.count(), 3);
    timer.refresh();
    EXPECT_EQ(changes.count(), 3) << "the same second is not announced again";

    // A clock that went back never shows a negative time.
    now = 4000;
    timer.refresh();
    EXPECT_EQ(timer.elapsedText(), "00:00");

    timer.setStartedAt(std::nullopt);
    EXPECT_FALSE(timer.isCounting());
    EXPECT_EQ(timer.elapsedText(), "00:00") << "the next take starts from zero";
}

TEST(RecordingTimer, WakesAtEachWholeSecondOfTheRealClock)
{
    RecordingTimer timer;
    QSignalSpy changes(&timer, &RecordingTimer::elapsedTextChanged);
    const double start = SteadyClock::now();
    timer.setStartedAt(start - 0.9);
    // Waits for the event itself, with room for a busy machine.
    ASSERT_TRUE(MainLoop::waitUntil([&] { return changes.count() >= 1; }, 30000));
    EXPECT_EQ(timer.elapsedText().left(4), "00:0");
    EXPECT_NE(timer.elapsedText(), "00:00");
}

TEST(RecordingIndicator, ShowsTheTimeBesideTheTextAndGrowsAwayFromTheCorner)
{
    QWidget area;
    area.resize(800, 400);
    auto *indicator = new RecordingIndicator(&area);
    area.show();
    const QSize badge = indicator->sizeHint();
    indicator->setGeometry(800 - 16 - badge.width(), 16, badge.width(), badge.height());
    MainLoop::drain();
    QLabel *time = indicator->elapsedLabel();
    EXPECT_EQ(indicator->label()->text(), "录制中");
    EXPECT_EQ(time->text(), "00:00");
    EXPECT_GT(time->x(), indicator->label()->geometry().right()) << "beside the text";

    const int right = indicator->geometry().right();
    const int width = indicator->width();
    indicator->setElapsedText(QStringLiteral("11:11"));
    EXPECT_EQ(indicator->width(), width) << "the figures' widths do not make the badge twitch";
    indicator->setElapsedText(QStringLiteral("1:00:00"));
    MainLoop::drain();
    EXPECT_EQ(time->text(), "1:00:00");
    EXPECT_GT(indicator->width(), width);
    EXPECT_EQ(indicator->geometry().right(), right) << "still 16 points from the right edge";
    EXPECT_GE(time->width(), time->fontMetrics().horizontalAdvance(time->text())) << "never clipped";
}
