#include "ui/common/DateFormatter.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace {
double utcSeconds(QDate date, QTime time)
{
    return double(QDateTime(date, time, QTimeZone::utc()).toSecsSinceEpoch());
}

class DateFormatterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
    }
};
} // namespace

TEST_F(DateFormatterTest, AbbreviatedDateAndShortTimeOfTheLocaleInLocalTime)
{
    // 06:30:45 UTC is 14:30 in Shanghai.
    const double seconds = utcSeconds(QDate(2024, 1, 5), QTime(6, 30, 45));
    EXPECT_EQ(DateFormatter(QLocale(QLocale::Chinese, QLocale::China)).text(seconds), "2024年1月5日 14:30");
    EXPECT_EQ(DateFormatter(QLocale(QLocale::English, QLocale::UnitedStates)).text(seconds), "Jan 5, 2024 2:30 PM");
    EXPECT_EQ(DateFormatter(QLocale(QLocale::German, QLocale::Germany)).text(seconds), "5. Jan. 2024 14:30");
    // Hours and minutes only, also where the short time style has seconds.
    EXPECT_EQ(DateFormatter(QLocale::c()).text(seconds), "5 Jan 2024 14:30");
    // A fraction of a second rounds, never past the minute it belongs to.
    EXPECT_EQ(
        DateFormatter(QLocale::c()).text(utcSeconds(QDate(2024, 1, 5), QTime(6, 30, 59)) + 0.4), "5 Jan 2024 14:30");
}

TEST_F(DateFormatterTest, TimesADamagedLibraryMayHoldShowThePlaceholder)
{
    const DateFormatter formatter(QLocale::c());
    for (const double damaged :
        {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(), 1e300, 9.3e15, -1.0, -1e18,
            utcSeconds(QDate(9999, 12, 31), QTime(23, 59)), utcSeconds(QDate(12000, 1, 1), QTime(0, 0))}) {
        EXPECT_EQ(formatter.text(damaged), DateFormatter::placeholder) << damaged;
    }
    // The edges of what is shown: the epoch, and late in the year 9998.
    EXPECT_EQ(formatter.text(0), "1 Jan 1970 08:00");
    EXPECT_EQ(formatter.text(utcSeconds(QDate(9998, 12, 30), QTime(12, 0))), "30 Dec 9998 20:00");
}
