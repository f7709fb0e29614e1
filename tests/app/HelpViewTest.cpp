#include "app/HelpView.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace {
const QString emailTip = "客服邮箱已复制到剪贴板";
const QString webTip = "服务网址已复制到剪贴板";
// The rule is tested on 0.3 of the real wait (1.8 s becomes 540 ms), with
// margins wide enough for a loaded machine.
constexpr double scale = 0.3;
int scaledMs(double seconds)
{
    return int(seconds * scale * 1000);
}

class Help : public testing::Test {
protected:
    Help()
    {
        view.setTipDurationForTesting(HelpView::tipDurationSeconds * scale);
        view.show();
    }
    HelpView view;
};
} // namespace

TEST_F(Help, ShowsNameVersionLogoAndContacts)
{
    QStringList texts;
    for (QLabel *label : view.findChildren<QLabel *>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains("Veltroscope"));
    EXPECT_TRUE(texts.contains("Version 1.0.0"));
    EXPECT_TRUE(view.showsLogo());
    EXPECT_EQ(view.emailButton()->text(), "客服邮箱：" + HelpView::supportEmail);
    EXPECT_EQ(view.websiteButton()->text(), "服务帮助：" + HelpView::supportWebsite + "（仅技术支持与使用说明）");
    EXPECT_FALSE(view.copiedTip().has_value());
    EXPECT_FALSE(view.tipLabel()->isVisible());
    EXPECT_EQ(HelpView::tipDurationSeconds, 1.8);
}

TEST_F(Help, ClickingAContactCopiesOnlyTheBareAddress)
{
    QGuiApplication::clipboard()->setText("whatever was there");
    view.emailButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), HelpView::supportEmail);
    EXPECT_EQ(view.copiedTip(), emailTip);
    EXPECT_TRUE(view.tipLabel()->isVisible());
    EXPECT_EQ(view.tipLabel()->text(), emailTip);

    view.websiteButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), HelpView::supportWebsite);
}

TEST_F(Help, TipDisappearsAfterItsOwnDelay)
{
    view.emailButton()->click();
    MainLoop::spin(scaledMs(1.8) - 200);
    EXPECT_EQ(view.copiedTip(), emailTip);
    EXPECT_TRUE(MainLoop::waitUntil([&] { return !view.copiedTip().has_value(); }, 500));
    EXPECT_FALSE(view.tipLabel()->isVisible());
}

TEST_F(Help, AnotherContactsTipIsNotClearedByTheEarlierClick)
{
    QElapsedTimer clock;
    clock.start();
    view.emailButton()->click();
    MainLoop::spin(scaledMs(1.0));
    view.websiteButton()->click();
    const qint64 secondClickMs = clock.elapsed();
    EXPECT_EQ(view.copiedTip(), webTip);

    // The first click's task runs at 1.8 s and leaves the web tip alone.
    MainLoop::spin(scaledMs(1.8) - int(clock.elapsed()) + 40);
    EXPECT_EQ(view.copiedTip(), webTip);

    ASSERT_TRUE(MainLoop::waitUntil([&] { return !view.copiedTip().has_value(); }, 1000));
    EXPECT_GE(clock.elapsed() - secondClickMs, scaledMs(1.8) - 5);
}

TEST_F(Help, SameContactTwiceClearsWithTheFirstClicksTask)
{
    QElapsedTimer clock;
    clock.start();
    view.emailButton()->click();
    MainLoop::spin(scaledMs(1.0));
    view.emailButton()->click();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !view.copiedTip().has_value(); }, 1000));
    // Gone 1.8 s after the first click, not after the second.
    EXPECT_LT(clock.elapsed(), scaledMs(1.0) + scaledMs(1.8) - 20);
    EXPECT_GE(clock.elapsed(), scaledMs(1.8) - 5);
}
