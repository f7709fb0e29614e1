#include "library/DatabaseManager.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/ScriptMenu.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/TeleprompterFonts.h"
#include "ui/recording/TeleprompterScroller.h"
#include "ui/recording/TeleprompterView.h"

#include "TeleprompterControlsFixture.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>

namespace {
QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Name) : QString();
}
} // namespace

TEST_F(TeleprompterControls, StartPauseAndStartAgainContinueFromTheSamePlace)
{
    state.setIsTeleprompterVisible(true);
    EXPECT_EQ(row.startPauseButton()->text(), "开始");
    EXPECT_EQ(state.scroller()->scrollTimer(), nullptr);

    row.startPauseButton()->click();
    EXPECT_TRUE(state.isScrolling());
    EXPECT_EQ(row.startPauseButton()->text(), "暂停");
    const QTimer *timer = state.scroller()->scrollTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 30);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return state.scrollOffset() >= 3; }, generousMs));

    row.startPauseButton()->click();
    EXPECT_FALSE(state.isScrolling());
    EXPECT_EQ(row.startPauseButton()->text(), "开始");
    EXPECT_EQ(state.scroller()->scrollTimer(), nullptr);
    const double paused = state.scrollOffset();
    MainLoop::spin(100);
    EXPECT_EQ(state.scrollOffset(), paused);

    row.startPauseButton()->click();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return state.scrollOffset() > paused; }, generousMs));
    // Each tick adds the speed to where it stood: no restart from the top.
    const qint64 ticks = state.scroller()->tickCount();
    state.scroller()->toggleScrolling();
    EXPECT_DOUBLE_EQ(state.scrollOffset(), double(ticks) * state.scrollSpeed());
}

TEST_F(TeleprompterControls, ResetReturnsToTheTopAndShowsStartAtAnyTime)
{
    state.setTeleprompterText(QString(3000, QChar(0x5B57)));
    state.setIsTeleprompterVisible(true);

    row.startPauseButton()->click();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return state.scrollOffset() > 0; }, generousMs));
    row.resetButton()->click();
    EXPECT_EQ(state.scrollOffset(), 0);
    EXPECT_FALSE(state.isScrolling());
    EXPECT_EQ(state.scroller()->scrollTimer(), nullptr);
    EXPECT_EQ(row.startPauseButton()->text(), "开始");

    // Stopped far past the end of the text: back to the top at once.
    state.setScrollOffset(1e7);
    EXPECT_GT(view.scrollPosition(), 0);
    row.resetButton()->click();
    EXPECT_EQ(view.scrollPosition(), 0);
    EXPECT_EQ(row.startPauseButton()->text(), "开始");
}

TEST_F(TeleprompterControls, SlidersSnapToTheirStepsAndTheirLabelsReadTheValue)
{
    state.setIsTeleprompterVisible(true);
    EXPECT_EQ(row.sizeLabel()->text(), "28");
    EXPECT_EQ(row.spacingLabel()->text(), "12");
    EXPECT_EQ(row.speedLabel()->text(), "1.0");

    row.speedSlider()->setValue(row.speedSlider()->minimum());
    EXPECT_EQ(row.speedLabel()->text(), "0.1");
    EXPECT_EQ(state.scrollSpeed(), 0.1);
    state.setScrollOffset(5);
    state.scroller()->tick();
    EXPECT_DOUBLE_EQ(state.scrollOffset(), 5.1);
    row.speedSlider()->setValue(row.speedSlider()->maximum());
    EXPECT_EQ(row.speedLabel()->text(), "3.0");
    EXPECT_DOUBLE_EQ(state.scrollSpeed(), 3.0);

    row.sizeSlider()->setValue(row.sizeSlider()->maximum());
    EXPECT_EQ(row.sizeLabel()->text(), "48");
    EXPECT_EQ(state.teleprompterFontSize(), 48);
    EXPECT_EQ(QFontInfo(view.textLayout().font()).pixelSize(), 48);
    row.sizeSlider()->setValue(row.sizeSlider()->minimum());
    EXPECT_EQ(state.teleprompterFontSize(), 16);
    // A drag that stops between steps lands on one.
    row.sizeSlider()->setValue(27);
    EXPECT_EQ(state.teleprompterFontSize(), 28);
    row.spacingSlider()->setValue(row.spacingSlider()->maximum());
    EXPECT_EQ(row.spacingLabel()->text(), "40");
    row.spacingSlider()->setValue(5);
    EXPECT_EQ(int(state.lineSpacing()) % 2, 0);

    // Whole numbers are cut toward zero, not rounded.
    state.setTeleprompterFontSize(27.9);
    EXPECT_EQ(row.sizeLabel()->text(), "27");
    EXPECT_EQ(TeleprompterControlsRow::wholeNumberText(-3.7), "-3");
}

TEST_F(TeleprompterControls, FontPickerUsesTheMappedFaceOrFallsBack)
{
    state.setIsTeleprompterVisible(true);
    ASSERT_EQ(row.fontPicker()->count(), 7);
    EXPECT_EQ(row.fontPicker()->currentText(), "系统默认");
    EXPECT_EQ(row.fontPicker()->width(), 120);

    row.fontPicker()->setCurrentIndex(row.fontPicker()->findText("宋体"));
    EXPECT_EQ(state.selectedFont(), TeleprompterFont::songti);
    const QFont songti = view.textLayout().font();
    if (TeleprompterFonts::isInstalled("Noto Serif CJK SC")) {
        EXPECT_EQ(QFontInfo(songti).family(), "Noto Serif CJK SC");
    } else {
        EXPECT_EQ(songti.families(), TeleprompterFonts::systemFont(28, &TeleprompterFonts::isInstalled).families());
    }
    // Missing everywhere: the medium system font at the same size.
    const QFont missing = TeleprompterFonts::font(TeleprompterFont::songti, 36, [](const QString &) { return false; });
    EXPECT_EQ(missing.weight(), QFont::Medium);
    EXPECT_EQ(missing.pixelSize(), 36);
    EXPECT_EQ(missing.families(), QGuiApplication::font().families());

    // Every option that has a face installed really draws with it, not with
    // whatever the font system substitutes for a misspelt name.
    for (const TeleprompterFont option : TeleprompterFont::allCases()) {
        for (const TeleprompterFonts::Candidate &candidate : TeleprompterFonts::candidates(option)) {
            if (TeleprompterFonts::isInstalled(candidate.family)) {
                const QFontInfo info(TeleprompterFonts::font(option, 28));
                EXPECT_TRUE(info.family().startsWith(candidate.family)) << qPrintable(option.rawValue());
                EXPECT_EQ(info.weight(), int(candidate.weight)) << qPrintable(option.rawValue());
                break;
            }
        }
    }
    // Han characters in a Latin face come from a simplified-Chinese one.
    EXPECT_TRUE(TeleprompterFonts::font(TeleprompterFont::helvetica, 28).families().join(",").contains("SC"));

    state.setSelectedFont(TeleprompterFont::kaiti);
    EXPECT_EQ(row.fontPicker()->currentText(), "楷体");
}

TEST_F(TeleprompterControls, UntickingHidesTheRestOfTheRowWhileTheTimerKeepsCounting)
{
    EXPECT_FALSE(row.visibleBox()->isChecked());
    EXPECT_FALSE(row.group()->isVisibleTo(&row));
    row.visibleBox()->click();
    EXPECT_TRUE(state.isTeleprompterVisible());
    EXPECT_TRUE(row.group()->isVisibleTo(&row));
    EXPECT_TRUE(row.scriptButton()->isVisibleTo(&row));

    row.startPauseButton()->click();
    row.visibleBox()->click();
    EXPECT_FALSE(state.isTeleprompterVisible());
    EXPECT_TRUE(row.visibleBox()->isVisible());
    for (QWidget *item : {static_cast<QWidget *>(row.schemeButton()), static_cast<QWidget *>(row.speedSlider()),
             static_cast<QWidget *>(row.startPauseButton()), static_cast<QWidget *>(row.scriptButton())}) {
        EXPECT_FALSE(item->isVisibleTo(&row));
    }
    // Nor does leaving the screen for another tab.
    row.hide();
    view.hide();
    const double hiddenAt = state.scrollOffset();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return state.scrollOffset() > hiddenAt + 2; }, generousMs));
    EXPECT_TRUE(state.isScrolling());
    row.show();

    row.visibleBox()->click();
    EXPECT_TRUE(row.group()->isVisibleTo(&row));
    EXPECT_EQ(row.startPauseButton()->text(), "暂停");
}

TEST_F(TeleprompterControls, FitsTheSmallestWindowWithTheSlidersGivingWayFirst)
{
    state.setIsTeleprompterVisible(true);
    // Room enough: the design widths.
    row.resize(1400, row.height());
    row.layout()->activate();
    EXPECT_EQ(row.sizeSlider()->width(), 100);
    EXPECT_EQ(row.spacingSlider()->width(), 90);
    EXPECT_EQ(row.speedSlider()->width(), 90);

    row.resize(minimumRowWidth, row.height());
    row.layout()->activate();
    checkFits();
    // A desktop whose UI font is larger than the default.
    QFont larger = row.font();
    larger.setPointSize(11);
    row.setFont(larger);
    row.layout()->invalidate();
    row.resize(minimumRowWidth, row.sizeHint().height());
    row.layout()->activate();
    checkFits();
}

TEST_F(TeleprompterControls, EveryControlIsNamedForAccessibilityAndTheCheckboxExposesItsState)
{
    state.setIsTeleprompterVisible(true);
    QStringList names;
    const QList<QWidget *> controls{row.visibleBox(), row.schemeButton(), row.fontPicker(), row.sizeSlider(),
        row.spacingSlider(), row.speedSlider(), row.startPauseButton(), row.resetButton(), row.scriptButton()};
    for (QWidget *control : controls) {
        const QString name = accessibleName(control);
        EXPECT_FALSE(name.isEmpty()) << control->metaObject()->className();
        names << name;
    }
    // On this platform a pop-up choice is read by its current option.
    EXPECT_EQ(
        names, QStringList({"提词器", "浅色模式", "系统默认", "字号", "行距", "速度", "开始", "重置", "选择提示词"}));
    EXPECT_EQ(row.fontPicker()->accessibleName(), "字体");
    EXPECT_TRUE(
        row.scriptButton()->text().isEmpty() || row.scriptButton()->toolButtonStyle() == Qt::ToolButtonIconOnly);

    QAccessibleInterface *box = QAccessible::queryAccessibleInterface(row.visibleBox());
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->state().checkable);
    EXPECT_TRUE(box->state().checked);
    // The sliders tell their value as the labels write it.
    row.speedSlider()->setValue(row.speedSlider()->minimum());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(row.speedSlider())->text(QAccessible::Description), "0.1");

    row.schemeButton()->click();
    EXPECT_FALSE(state.isTeleprompterDarkMode());
    EXPECT_EQ(accessibleName(row.schemeButton()), "深色模式");
    row.visibleBox()->click();
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(row.visibleBox())->state().checked);
}
