#include "ui/recording/TeleprompterView.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterFonts.h"
#include "ui/recording/TeleprompterScroller.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <cmath>
#include <functional>
#include <optional>

namespace {
constexpr int boxWidth = 600;
constexpr int boxHeight = 300;
constexpr int backgroundGrey = 200;

// The box over a plain grey "picture", grabbed as the screen would show it.
class TeleprompterBox : public testing::Test {
protected:
    TeleprompterBox()
    {
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, QColor(backgroundGrey, backgroundGrey, backgroundGrey));
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        host.resize(boxWidth, boxHeight);
        view = new TeleprompterView(&state, &host);
        view->setGeometry(0, 0, boxWidth, boxHeight);
        host.show();
    }

    QImage shot() { return host.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Pixels of the text: far brighter (dark scheme) or darker (light scheme)
    // than the box over the grey.
    bool isInk(QRgb pixel) const { return state.isTeleprompterDarkMode() ? qRed(pixel) > 200 : qRed(pixel) < 100; }

    bool rowHasInk(const QImage &image, int y) const
    {
        for (int x = 0; x < image.width(); ++x) {
            if (isInk(image.pixel(x, y))) {
                return true;
            }
        }
        return false;
    }

    // First ink row at or below `from`, or the last one when searching up.
    std::optional<int> firstInkRow(const QImage &image, int from = 0) const
    {
        for (int y = from; y < image.height(); ++y) {
            if (rowHasInk(image, y)) {
                return y;
            }
        }
        return std::nullopt;
    }
    std::optional<int> lastInkRow(const QImage &image) const
    {
        for (int y = image.height() - 1; y >= 0; --y) {
            if (rowHasInk(image, y)) {
                return y;
            }
        }
        return std::nullopt;
    }

    // Horizontal middle of the ink in rows [top, bottom).
    double inkCentre(const QImage &image, int top, int bottom) const
    {
        int left = image.width();
        int right = -1;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (isInk(image.pixel(x, y))) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        return (left + right) / 2.0;
    }

    // Distance from one line's top to the next inside a paragraph.
    double linePitch() { return view->textLayout().naturalLineHeight() * 1.05 + state.lineSpacing(); }

    RecordingViewState state;
    QWidget host;
    TeleprompterView *view = nullptr;
};

QString longScript(int paragraphs)
{
    QStringList lines;
    for (int i = 0; i < paragraphs; ++i) {
        lines << QStringLiteral("第%1段，大家好，今天我们来聊一聊怎样录好一段视频。").arg(i);
    }
    return lines.join(QLatin1Char('\n'));
}
} // namespace

TEST_F(TeleprompterBox, RendersWithTheInitialValues)
{
    state.setTeleprompterText(QStringLiteral("大家好\n欢迎收看"));
    const QImage image = shot();

    // White text on black at 0.25: the grey shows through at three quarters.
    const QRgb box = image.pixel(boxWidth / 2, boxHeight - 20);
    EXPECT_NEAR(qRed(box), backgroundGrey * 0.75, 2);
    EXPECT_NEAR(qGreen(box), backgroundGrey * 0.75, 2);
    // Rounded corners leave the picture untouched at the very corner.
    EXPECT_EQ(qRed(image.pixel(0, 0)), backgroundGrey);
    int white = 0;
    for (int y = 0; y < boxHeight; ++y) {
        for (int x = 0; x < boxWidth; ++x) {
            white += image.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(white, 50);

    // Medium-weight system font at 28.
    const QFont font = view->textLayout().font();
    const QFontInfo info(font);
    EXPECT_EQ(info.pixelSize(), 28);
    EXPECT_EQ(info.weight(), int(QFont::Medium));
    EXPECT_EQ(font.families(), TeleprompterFonts::systemFont(28, &TeleprompterFonts::isInstalled).families());

    // Both lines centred in the box.
    const std::optional<int> first = firstInkRow(image);
    ASSERT_TRUE(first);
    const double pitch = linePitch();
    EXPECT_NEAR(inkCentre(image, *first, *first + int(pitch) - 4), boxWidth / 2.0, 3);
    EXPECT_NEAR(inkCentre(image, *first + int(pitch) + 12, *first + 2 * int(pitch)), boxWidth / 2.0, 3);
}

TEST_F(TeleprompterBox, LinesAreSpacedByTheMultipleTheSpacingAndHalfTheSpacingAfterABreak)
{
    // One long paragraph that wraps, then a second one.
    state.setTeleprompterText(QString(40, QChar(0x4E2D)) + QStringLiteral("\n") + QString(3, QChar(0x6587)));
    const TeleprompterLayout &layout = view->textLayout();
    const auto &lines = layout.lines();
    const QFontMetricsF metrics(layout.font());
    ASSERT_EQ(lines.size(), 2u + 2u + 1u + 3u);
    EXPECT_EQ(lines[2].paragraphSpacing, 0); // the wrapped paragraph goes on
    const double pitch = layout.naturalLineHeight() * 1.05 + 12;
    EXPECT_GE(layout.naturalLineHeight(), metrics.height() - 0.01);
    EXPECT_NEAR(lines[3].top - lines[2].top, pitch, 1e-6); // within the wrapped paragraph
    const size_t secondParagraph = lines.size() - 4;
    EXPECT_NEAR(lines[secondParagraph].top - lines[secondParagraph - 1].top, pitch + 6, 1e-6);
    // The same rhythm on screen: glyph tops of the two wrapped lines one pitch apart.
    const QImage image = shot();
    const int first = *firstInkRow(image);
    const std::optional<int> second = firstInkRow(image, first + int(pitch) - 6);
    ASSERT_TRUE(second);
    EXPECT_NEAR(*second - first, pitch, 1.01);
}

TEST_F(TeleprompterBox, ScrollPositionRunsFromTwoEmptyLinesAboveToThreeBelow)
{
    state.setTeleprompterText(longScript(30));
    const double pitch = linePitch();
    const double emptyLine = pitch + state.lineSpacing() * 0.5;

    // Offset 0: the first line stands below two empty lines.
    EXPECT_EQ(view->scrollPosition(), 0);
    const int top = *firstInkRow(shot());
    EXPECT_GE(top, 2 * emptyLine);
    EXPECT_LT(top, 2 * emptyLine + pitch);

    // The furthest offset: three empty lines under the last line, and no further.
    state.setScrollOffset(1e9);
    EXPECT_EQ(view->scrollPosition(), view->contentHeight() - boxHeight);
    const int bottom = *lastInkRow(shot());
    const double below = boxHeight - 1 - bottom;
    EXPECT_GE(below, 3 * emptyLine);
    EXPECT_LT(below, 3 * emptyLine + pitch);
    // The offset itself is kept as it is; only the position stops.
    EXPECT_EQ(state.scrollOffset(), 1e9);

    // A negative or unusable offset shows the top.
    state.setScrollOffset(-40);
    EXPECT_EQ(view->scrollPosition(), 0);
    state.setScrollOffset(std::nan(""));
    EXPECT_EQ(view->scrollPosition(), 0);
}

TEST_F(TeleprompterBox, AScriptShorterThanTheBoxNeverMoves)
{
    state.setTeleprompterFontSize(16);
    state.setLineSpacing(4);
    state.setTeleprompterText(QStringLiteral("短"));
    ASSERT_LT(view->contentHeight(), boxHeight);
    const QImage atTop = shot();
    for (double offset : {1.0, 37.5, 500.0, 1e7}) {
        state.setScrollOffset(offset);
        EXPECT_EQ(view->maximumOffset(), 0);
        EXPECT_EQ(view->scrollPosition(), 0);
        EXPECT_EQ(shot(), atTop) << offset;
    }
}

TEST_F(TeleprompterBox, LightSchemeIsBlackTextOnWhiteAtPointThree)
{
    state.setTeleprompterText(QStringLiteral("大家好"));
    state.setIsTeleprompterDarkMode(false);
    const QImage image = shot();
    EXPECT_NEAR(qRed(image.pixel(boxWidth / 2, boxHeight - 20)), backgroundGrey * 0.7 + 255 * 0.3, 2);
    int black = 0;
    for (int y = 0; y < boxHeight; ++y) {
        for (int x = 0; x < boxWidth; ++x) {
            black += qRed(image.pixel(x, y)) < 20 ? 1 : 0;
        }
    }
    EXPECT_GT(black, 30);
}

TEST_F(TeleprompterBox, TicksMoveTheTextWithoutLayingItOutAgain)
{
    state.setTeleprompterText(longScript(200));
    shot();
    const int layouts = view->textLayout().layoutCount();
    TeleprompterScroller *scroller = state.scroller();

    // At 3.0 every tick moves the whole text 3 pixels, all lines together.
    state.setScrollSpeed(3.0);
    QImage before = shot();
    for (int i = 0; i < 5; ++i) {
        scroller->tick();
        const QImage after = shot();
        const int margin = 20; // clear of the rounded corners
        bool shiftedAlike = true;
        for (int y = margin; y < boxHeight - margin && shiftedAlike; ++y) {
            for (int x = margin; x < boxWidth - margin && shiftedAlike; ++x) {
                shiftedAlike = after.pixel(x, y) == before.pixel(x, y + 3);
            }
        }
        EXPECT_TRUE(shiftedAlike) << "tick " << i;
        before = after;
    }

    // At 0.1 the text creeps: never back, never more than a pixel a tick,
    // always where the offset says.
    state.setScrollSpeed(0.1);
    const double start = state.scrollOffset();
    const int startTop = *firstInkRow(shot());
    int previousTop = startTop;
    for (int i = 0; i < 25; ++i) {
        scroller->tick();
        const int topNow = *firstInkRow(shot());
        EXPECT_LE(topNow, previousTop);
        EXPECT_GE(topNow, previousTop - 1);
        EXPECT_EQ(startTop - topNow, std::lround(state.scrollOffset()) - std::lround(start));
        previousTop = topNow;
    }
    EXPECT_NEAR(state.scrollOffset() - start, 2.5, 1e-9);
    EXPECT_EQ(view->textLayout().layoutCount(), layouts);

    // Only what is visible is drawn.
    EXPECT_LE(view->lastDrawnLineCount(), int(boxHeight / linePitch()) + 4);
}

TEST_F(TeleprompterBox, LaysOutAgainOnlyForTextFontSizeSpacingOrWidth)
{
    state.setTeleprompterText(longScript(5));
    int layouts = view->textLayout().layoutCount();
    auto changes = [&](const char *what, const std::function<void()> &change, bool relayout) {
        change();
        shot();
        const int now = view->textLayout().layoutCount();
        EXPECT_EQ(now, layouts + (relayout ? 1 : 0)) << what;
        layouts = now;
    };
    changes(
        "scheme", [&] { state.setIsTeleprompterDarkMode(false); }, false);
    changes(
        "offset", [&] { state.setScrollOffset(40); }, false);
    changes(
        "height", [&] { view->resize(boxWidth, boxHeight - 50); }, false);
    changes(
        "text", [&] { state.setTeleprompterText(longScript(6)); }, true);
    changes(
        "font", [&] { state.setSelectedFont(TeleprompterFont::songti); }, true);
    changes(
        "size", [&] { state.setTeleprompterFontSize(40); }, true);
    changes(
        "spacing", [&] { state.setLineSpacing(20); }, true);
    changes(
        "width", [&] { view->resize(boxWidth - 100, boxHeight - 50); }, true);
    // Several changes before one paint cost one layout.
    state.setTeleprompterFontSize(30);
    state.setLineSpacing(8);
    state.setTeleprompterText(longScript(7));
    changes(
        "all at once", [] {}, true);
}

TEST_F(TeleprompterBox, ScriptsAsPeopleBringThemWrapInsideTheBox)
{
    // Windows and old Mac breaks are one break each, like a plain newline.
    EXPECT_EQ(
        TeleprompterLayout::displayedText(QStringLiteral("甲\r\n乙\r丙")), QStringLiteral("\n\n甲\n乙\n丙\n\n\n"));
    state.setTeleprompterText(QStringLiteral("甲\r\n乙"));
    const size_t withWindowsBreak = view->textLayout().lines().size();
    state.setTeleprompterText(QStringLiteral("甲\n乙"));
    EXPECT_EQ(view->textLayout().lines().size(), withWindowsBreak);

    // Tabs, a word longer than the box, and Chinese with no break at all.
    const QString pasted = QStringLiteral("\t第一段\t有制表符\r\n") + QString(300, QLatin1Char('w'))
        + QStringLiteral("\r\n") + QString(2000, QChar(0x8BF4));
    state.setTeleprompterText(pasted);
    const TeleprompterLayout &layout = view->textLayout();
    const QTextLayout &text = layout.textLayout();
    ASSERT_GT(text.lineCount(), 20);
    for (int i = 0; i < text.lineCount(); ++i) {
        EXPECT_LE(text.lineAt(i).naturalTextWidth(), boxWidth + 0.5) << "line " << i;
    }
    // Nothing is lost: every character of the script is on some line.
    int characters = 0;
    for (int i = 0; i < text.lineCount(); ++i) {
        characters += text.lineAt(i).textLength();
    }
    EXPECT_EQ(characters, TeleprompterLayout::displayedText(pasted).size());
}

TEST_F(TeleprompterBox, AHundredThousandCharactersLoadOnceAndScroll)
{
    QString script;
    while (script.size() < 100000) {
        script += QStringLiteral("今天我们来聊一聊怎样录好一段口播视频，") + QString::number(script.size());
        if (script.size() % 7 == 0) {
            script += QStringLiteral("\r\n");
        }
    }
    state.setTeleprompterText(script);
    shot();
    const int layouts = view->textLayout().layoutCount();
    EXPECT_GT(view->contentHeight(), 100 * boxHeight);
    state.setScrollOffset(view->maximumOffset() / 2);
    shot();
    EXPECT_LE(view->lastDrawnLineCount(), int(boxHeight / linePitch()) + 4);
    EXPECT_GT(view->lastDrawnLineCount(), 2);
    state.setScrollOffset(1e12);
    ASSERT_TRUE(lastInkRow(shot()));
    EXPECT_EQ(view->textLayout().layoutCount(), layouts);
}

// Scrolled anywhere, in either scheme, the box shows exactly what drawing its
// text at that position gives: no stale lines, no offset, no other blending
// (text drawn on the picture is blended differently from text drawn apart
// and laid over it).
TEST_F(TeleprompterBox, ScrolledTextLooksAsDrawnForItsPosition)
{
    state.setTeleprompterText(longScript(40));
    auto drawnDirectly = [&] {
        QImage expected(boxWidth, boxHeight, QImage::Format_RGB32);
        expected.fill(QColor(backgroundGrey, backgroundGrey, backgroundGrey));
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(TeleprompterView::boxColour(state.isTeleprompterDarkMode()));
        painter.drawRoundedRect(QRectF(0, 0, boxWidth, boxHeight), view->cornerRadius(), view->cornerRadius());
        const double position = view->scrollPosition();
        painter.translate(0, -position);
        painter.setPen(TeleprompterView::textColour(state.isTeleprompterDarkMode()));
        view->textLayout().draw(&painter, position, position + boxHeight);
        return expected;
    };
    auto differing = [](const QImage &a, const QImage &b) {
        qint64 count = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
            }
        }
        return count;
    };
    for (const double offset : {0.0, 7.0, 13.0, 90.0, 91.0, 400.0}) {
        state.setScrollOffset(offset);
        EXPECT_EQ(differing(shot(), drawnDirectly()), 0) << "offset " << offset;
    }
    state.setIsTeleprompterDarkMode(false);
    EXPECT_EQ(differing(shot(), drawnDirectly()), 0) << "light scheme";
}
