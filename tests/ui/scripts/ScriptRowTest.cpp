#include "ui/scripts/ScriptRow.h"
#include "ui/common/AppFont.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

#include <cmath>

namespace {
const QString ellipsis = QStringLiteral("…");

QFont contentFont()
{
    return AppFont::pixelFont(13);
}

qreal advance(const QString &text)
{
    return QFontMetricsF(contentFont()).horizontalAdvance(text);
}
} // namespace

TEST(ScriptRowText, LongContentWrapsToTwoLinesEndingInAnEllipsis)
{
    const QString content = QStringLiteral("这是一段很长的提示词内容，用来检查换行。").repeated(20);
    const QStringList lines = ScriptRow::contentLines(content, contentFont(), 300);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(content.startsWith(lines[0]));
    EXPECT_FALSE(lines[0].endsWith(ellipsis));
    EXPECT_TRUE(lines[1].endsWith(ellipsis));
    for (const QString &line : lines) {
        EXPECT_LE(advance(line), 300.5) << line.toStdString();
    }
    // The second line carries on where the first stopped.
    const QString second = lines[1].chopped(1);
    EXPECT_EQ(content.mid(lines[0].size(), second.size()), second);
}

TEST(ScriptRowText, ShortContentAndLineBreaks)
{
    EXPECT_EQ(ScriptRow::contentLines(QStringLiteral("一句话"), contentFont(), 300), QStringList({"一句话"}));
    EXPECT_TRUE(ScriptRow::contentLines(QString(), contentFont(), 300).isEmpty());
    EXPECT_EQ(ScriptRow::contentLines(QStringLiteral("第一行\n第二行"), contentFont(), 300),
        QStringList({"第一行", "第二行"}));
    // A third line is cut, and the second says so.
    EXPECT_EQ(ScriptRow::contentLines(QStringLiteral("一\r\n二\r\n三"), contentFont(), 300),
        QStringList({"一", "二" + ellipsis}));
    // A huge script costs no more than what two lines can show.
    const QString huge = QString(2'000'000, u'字');
    const QStringList lines = ScriptRow::contentLines(huge, contentFont(), 300);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(ellipsis));
}

TEST(ScriptRowText, TitlesTakeOneLine)
{
    const QFont font = AppFont::pixelFont(15, QFont::DemiBold);
    EXPECT_EQ(ScriptRow::titleLine(QStringLiteral("标题"), font, 300), "标题");
    EXPECT_EQ(ScriptRow::titleLine(QStringLiteral("第一行\n第二行"), font, 300), "第一行" + ellipsis);
    const QString longTitle = ScriptRow::titleLine(QStringLiteral("很长的标题").repeated(40), font, 300);
    EXPECT_TRUE(longTitle.endsWith(ellipsis));
    EXPECT_LE(QFontMetricsF(font).horizontalAdvance(longTitle), 300.5);
}
