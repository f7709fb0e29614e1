#include "app/HelpView.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace {
const QString emailTip = "客服邮箱已复制到剪贴板";
const QString webTip = "服务网址已复制到剪贴板";

// A clock the test moves by hand: delayed tasks run when it passes their time,
// in order, however loaded the machine is.
class ManualClock {
public:
    HelpView::Scheduler scheduler()
    {
        return [this](double seconds, std::function<void()> task) {
            m_tasks.push_back({m_now + seconds, std::move(task)});
        };
    }

    void advance(double seconds)
    {
        const double target = m_now + seconds;
        for (;;) {
            auto next = std::min_element(
                m_tasks.begin(), m_tasks.end(), [](const Task &a, const Task &b) { return a.due < b.due; });
            if (next == m_tasks.end() || next->due > target + 1e-9) {
                break;
            }
            m_now = next->due;
            const std::function<void()> task = std::move(next->run);
            m_tasks.erase(next);
            task();
        }
        m_now = target;
    }

    size_t pending() const { return m_tasks.size(); }

private:
    struct Task {
        double due;
        std::function<void()> run;
    };
    double m_now = 0;
    std::vector<Task> m_tasks;
};

class Help : public testing::Test {
protected:
    Help()
    {
        view.setSchedulerForTesting(clock.scheduler());
        view.show();
    }
    ManualClock clock;
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
    EXPECT_EQ(clock.pending(), 1u);
    clock.advance(1.79);
    EXPECT_EQ(view.copiedTip(), emailTip);
    EXPECT_TRUE(view.tipLabel()->isVisible());
    clock.advance(0.01);
    EXPECT_FALSE(view.copiedTip().has_value());
    EXPECT_FALSE(view.tipLabel()->isVisible());
}

TEST_F(Help, AnotherContactsTipIsNotClearedByTheEarlierClick)
{
    view.emailButton()->click();
    clock.advance(1.0);
    view.websiteButton()->click();
    EXPECT_EQ(view.copiedTip(), webTip);

    // The first click's task runs at 1.8 s and leaves the web tip alone.
    clock.advance(0.8);
    EXPECT_EQ(view.copiedTip(), webTip);
    clock.advance(0.99);
    EXPECT_EQ(view.copiedTip(), webTip);
    // Gone 1.8 s after the second click.
    clock.advance(0.01);
    EXPECT_FALSE(view.copiedTip().has_value());
}

TEST_F(Help, SameContactTwiceClearsWithTheFirstClicksTask)
{
    view.emailButton()->click();
    clock.advance(1.0);
    view.emailButton()->click();
    clock.advance(0.79);
    EXPECT_EQ(view.copiedTip(), emailTip);
    // 1.8 s after the first click, 0.8 s after the second; no earlier task is cancelled.
    clock.advance(0.01);
    EXPECT_FALSE(view.copiedTip().has_value());
    EXPECT_EQ(clock.pending(), 1u);
    clock.advance(1.0);
    EXPECT_FALSE(view.copiedTip().has_value());
}

TEST(HelpTimer, RealDelayClearsTheTipLater)
{
    HelpView view;
    view.show();
    view.emailButton()->click();
    EXPECT_EQ(view.copiedTip(), emailTip);
    EXPECT_TRUE(MainLoop::waitUntil([&] { return !view.copiedTip().has_value(); }, 30000));
}
