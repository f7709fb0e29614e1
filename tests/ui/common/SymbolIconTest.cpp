#include "ui/common/SymbolIcon.h"

#include <gtest/gtest.h>

#include <QIcon>

TEST(SymbolIcon, EverySymbolDrawsSomethingEvenWithoutATheme)
{
    QIcon::setThemeName(QStringLiteral("no-such-theme"));
    QIcon::setFallbackThemeName(QStringLiteral("no-such-theme"));
    for (const char *name : {"video.circle.fill", "doc.text.fill", "unknown.symbol", ""}) {
        const QImage image = SymbolIcon::icon(QString::fromLatin1(name)).pixmap(24, 24).toImage();
        ASSERT_FALSE(image.isNull()) << name;
        bool anyOpaque = false;
        for (int y = 0; y < image.height() && !anyOpaque; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) > 0) {
                    anyOpaque = true;
                    break;
                }
            }
        }
        EXPECT_TRUE(anyOpaque) << name;
    }
}

TEST(SymbolIcon, TabSymbolsMapToThemeNames)
{
    EXPECT_TRUE(SymbolIcon::themeNames(QStringLiteral("film.stack")).contains(QStringLiteral("video-x-generic")));
    EXPECT_TRUE(SymbolIcon::themeNames(QStringLiteral("questionmark.circle.fill"))
                    .contains(QStringLiteral("help-about-symbolic")));
    EXPECT_TRUE(SymbolIcon::themeNames(QStringLiteral("unknown.symbol")).isEmpty());
}
