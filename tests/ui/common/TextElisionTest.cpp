#include "ui/common/TextElision.h"

#include <gtest/gtest.h>

#include <QFont>

TEST(TextElision, LongPathIsShortenedInTheMiddleKeepingItsStartAndFileName)
{
    QFont font;
    font.setPixelSize(11);
    const QFontMetrics metrics(font);
    const QString path = "/home/user/视频/一个很长很长的文件夹名称/another/deeply/nested/folder/20250303_140509.mp4";
    const int width = metrics.horizontalAdvance(path) / 2;

    const QString shown = TextElision::path(path, metrics, width);
    EXPECT_LE(metrics.horizontalAdvance(shown), width);
    EXPECT_TRUE(shown.startsWith("/home/")) << qPrintable(shown);
    EXPECT_TRUE(shown.endsWith("…/20250303_140509.mp4")) << qPrintable(shown);

    EXPECT_EQ(TextElision::path(path, metrics, metrics.horizontalAdvance(path)), path);
    // Too narrow even for the file name: still shortened, never wider than asked.
    const int tiny = metrics.horizontalAdvance("20250303");
    EXPECT_LE(metrics.horizontalAdvance(TextElision::path(path, metrics, tiny)), tiny);
}
