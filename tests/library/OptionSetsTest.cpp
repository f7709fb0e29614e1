#include "library/Script.h"
#include "library/TeleprompterFont.h"
#include "library/VideoAspectRatio.h"
#include "library/VideoRecord.h"
#include "library/VideoResolution.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(OptionSets, RawValuesRoundTripInDeclarationOrder)
{
    QStringList ratios;
    for (const VideoAspectRatio option : VideoAspectRatio::allCases()) {
        ratios << option.rawValue();
        EXPECT_EQ(VideoAspectRatio::fromRawValue(option.rawValue()), option);
        EXPECT_EQ(option.id(), option.rawValue());
    }
    EXPECT_EQ(ratios, QStringList({"1:1", "4:3", "16:9", "9:16"}));

    QStringList resolutions;
    for (const VideoResolution option : VideoResolution::allCases()) {
        resolutions << option.rawValue();
        EXPECT_EQ(VideoResolution::fromRawValue(option.rawValue()), option);
    }
    EXPECT_EQ(resolutions, QStringList({"480p", "720p", "1080p", "2K"}));

    for (const TeleprompterFont option : TeleprompterFont::allCases()) {
        EXPECT_EQ(TeleprompterFont::fromRawValue(option.rawValue()), option);
    }
}

TEST(OptionSets, ConstructionFromRawValueIsExact)
{
    EXPECT_EQ(VideoAspectRatio::fromRawValue("16:9"), VideoAspectRatio(VideoAspectRatio::ratio16x9));
    EXPECT_FALSE(VideoAspectRatio::fromRawValue("16:9 "));
    EXPECT_FALSE(VideoAspectRatio::fromRawValue(" 16:9"));
    EXPECT_FALSE(VideoAspectRatio::fromRawValue(""));
    EXPECT_FALSE(VideoAspectRatio::fromRawValue("16/9"));
    EXPECT_FALSE(VideoResolution::fromRawValue("2k"));
    EXPECT_FALSE(VideoResolution::fromRawValue("1080P"));
    EXPECT_FALSE(VideoResolution::fromRawValue(""));
    EXPECT_FALSE(TeleprompterFont::fromRawValue("helvetica"));
    EXPECT_FALSE(TeleprompterFont::fromRawValue("系统默认 "));
}

TEST(OptionSets, RatiosAreExactDoubles)
{
    EXPECT_EQ(VideoAspectRatio(VideoAspectRatio::ratio1x1).ratio(), 1.0);
    EXPECT_EQ(VideoAspectRatio(VideoAspectRatio::ratio9x16).ratio(), 0.5625);
    EXPECT_EQ(VideoAspectRatio(VideoAspectRatio::ratio4x3).ratio(), 4.0 / 3.0);
    EXPECT_EQ(VideoAspectRatio(VideoAspectRatio::ratio4x3).ratio(), 1.3333333333333333);
    EXPECT_EQ(VideoAspectRatio(VideoAspectRatio::ratio16x9).ratio(), 1.7777777777777777);
}

TEST(OptionSets, SevenFontsStartingWithTheSystemFont)
{
    const QList<TeleprompterFont> fonts = TeleprompterFont::allCases();
    ASSERT_EQ(fonts.size(), 7);
    EXPECT_EQ(fonts.first(), TeleprompterFont(TeleprompterFont::system));
    EXPECT_EQ(fonts.first().rawValue(), QString("系统默认"));
    EXPECT_FALSE(fonts.first().fontName().has_value());
    EXPECT_EQ(TeleprompterFont(TeleprompterFont::menlo).fontName(), QString("Menlo-Regular"));
    EXPECT_EQ(TeleprompterFont(TeleprompterFont::kaiti).fontName(), QString("STKaitiSC-Regular"));
}

TEST(OptionSets, HashingFollowsEquality)
{
    QSet<VideoAspectRatio> ratios;
    for (const VideoAspectRatio option : VideoAspectRatio::allCases()) {
        ratios.insert(option);
        ratios.insert(*VideoAspectRatio::fromRawValue(option.rawValue()));
    }
    EXPECT_EQ(ratios.size(), 4);
}

TEST(Records, EqualityComparesEveryField)
{
    const Script script{7, "标题", "内容", 100.25, 200.5};
    Script other = script;
    EXPECT_EQ(script, other);
    EXPECT_EQ(qHash(script), qHash(other));
    other.content = "别的内容";
    EXPECT_NE(script, other); // same id, still a different value
    other = script;
    other.updatedAt = 200.50000000000003;
    EXPECT_NE(script, other);

    const VideoRecord absent{1, "a.mp4", "/v/a.mp4", std::nullopt, 5.0};
    VideoRecord empty = absent;
    empty.thumbnailPath = QString();
    EXPECT_NE(absent, empty);
    VideoRecord alsoAbsent = absent;
    EXPECT_EQ(absent, alsoAbsent);
    EXPECT_EQ(qHash(absent), qHash(alsoAbsent));
}
