#include "ui/videos/VideoRowText.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFont>
#include <QTimeZone>

#include <cstdlib>
#include <ctime>

TEST(VideoRowText, LongPathIsShortenedInTheMiddleKeepingItsStartAndFileName)
{
    QFont font;
    font.setPixelSize(11);
    const QFontMetrics metrics(font);
    const QString path = "/home/user/视频/一个很长很长的文件夹名称/another/deeply/nested/folder/20250303_140509.mp4";
    const int width = metrics.horizontalAdvance(path) / 2;

    const QString shown = VideoRowText::elidedPath(path, metrics, width);
    EXPECT_LE(metrics.horizontalAdvance(shown), width);
    EXPECT_TRUE(shown.startsWith("/home/")) << qPrintable(shown);
    EXPECT_TRUE(shown.endsWith("…/20250303_140509.mp4")) << qPrintable(shown);

    EXPECT_EQ(VideoRowText::elidedPath(path, metrics, metrics.horizontalAdvance(path)), path);
    // Too narrow even for the file name: still shortened, never wider than asked.
    const int tiny = metrics.horizontalAdvance("20250303");
    EXPECT_LE(metrics.horizontalAdvance(VideoRowText::elidedPath(path, metrics, tiny)), tiny);
}

TEST(VideoRowText, RecordingTimeIsTheAbbreviatedLocalDateAndShortTime)
{
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    // 06:05:09 UTC is 14:05 in Shanghai.
    const double seconds = double(QDateTime(QDate(2025, 3, 3), QTime(6, 5, 9), QTimeZone::utc()).toSecsSinceEpoch());
    EXPECT_EQ(VideoRowText::createdAtText(seconds, QLocale(QLocale::Chinese, QLocale::China)), "2025年3月3日 14:05");
    EXPECT_EQ(
        VideoRowText::createdAtText(seconds, QLocale(QLocale::English, QLocale::UnitedStates)), "Mar 3, 2025 2:05 PM");
    // Hours and minutes only, also where the short time style has seconds.
    EXPECT_FALSE(VideoRowText::createdAtText(seconds, QLocale::c()).contains(":09"));
    EXPECT_TRUE(VideoRowText::createdAtText(seconds, QLocale::c()).endsWith("14:05"));
}
