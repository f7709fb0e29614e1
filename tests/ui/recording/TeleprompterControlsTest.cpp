#include "library/DatabaseManager.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/ScriptMenu.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/TeleprompterFonts.h"
#include "ui/recording/TeleprompterScroller.h"
#include "ui/recording/TeleprompterView.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
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

#include <sqlite3.h>

namespace {
// The row as the control panel holds it: 960 less 18 either side at the
// smallest window.
constexpr int minimumRowWidth = 960 - 2 * 18;
constexpr int generousMs = 10000;

class TeleprompterControls : public testing::Test {
protected:
    TeleprompterControls() : db(dir.path() + "/share/Veltroscope"), row(&state, &db), view(&state)
    {
        row.resize(minimumRowWidth, row.sizeHint().height());
        row.show();
        view.resize(500, 300);
        MainLoop::drain();
    }

    // As the menu button does: the menu shows, then closes.
    void openScriptMenu()
    {
        row.scriptMenu()->popup(QPoint(0, 0));
        MainLoop::drain();
        row.scriptMenu()->hide();
        MainLoop::drain();
    }

    void addScripts()
    {
        db.addScript(QStringLiteral("第一篇"), QStringLiteral("第一篇的内容"));
        db.addScript(QStringLiteral("问&答"), QStringLiteral("第二篇的内容\n第二行"));
        MainLoop::drain();
    }

    QList<QWidget *> itemsLeftToRight()
    {
        QList<QWidget *> items{row.visibleBox()};
        for (QWidget *child : row.group()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            items << child;
        }
        std::sort(items.begin(), items.end(),
            [&](QWidget *a, QWidget *b) { return a->mapTo(&row, QPoint()).x() < b->mapTo(&row, QPoint()).x(); });
        return items;
    }

    // Every item in the row, none overlapping, none cut, none but a slider squeezed.
    void checkFits()
    {
        int previousRight = -TeleprompterControlsRow::itemSpacing;
        for (QWidget *item : itemsLeftToRight()) {
            const QRect box(item->mapTo(&row, QPoint()), item->size());
            EXPECT_GE(box.left(), previousRight + TeleprompterControlsRow::itemSpacing)
                << item->metaObject()->className();
            EXPECT_LE(box.right(), row.width() - 1) << item->metaObject()->className();
            EXPECT_GE(box.top(), 0);
            EXPECT_LE(box.bottom(), row.height() - 1);
            if (auto *slider = qobject_cast<QSlider *>(item)) {
                EXPECT_GE(slider->width(), TeleprompterControlsRow::sliderFloorWidth);
            } else {
                // Nothing but a slider is squeezed below what it asks for.
                EXPECT_GE(item->width(),
                    item->sizeHint().expandedTo(item->minimumSize()).boundedTo(item->maximumSize()).width())
                    << item->metaObject()->className();
            }
            previousRight = box.right();
        }
        EXPECT_EQ(row.fontPicker()->width(), 120);
        EXPECT_LE(row.minimumSizeHint().width(), minimumRowWidth);
    }

    QTemporaryDir dir;
    DatabaseManager db;
    RecordingViewState state;
    TeleprompterControlsRow row;
    TeleprompterView view;
};

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

TEST_F(TeleprompterControls, ChoosingAScriptChangesOnlyTheText)
{
    addScripts();
    state.setIsTeleprompterVisible(true);
    openScriptMenu();
    const QList<QAction *> items = row.scriptMenu()->actions();
    ASSERT_EQ(items.size(), 2);
    // Newest first, as the library lists them; '&' is shown, not a mnemonic.
    EXPECT_EQ(items[0]->text(), "问&&答");
    EXPECT_EQ(items[1]->text(), "第一篇");
    EXPECT_EQ(items[0]->data().toLongLong(), db.scripts().at(0).id);

    state.setTeleprompterText(QString(3000, QChar(0x5B57)));
    state.setScrollOffset(123);
    row.startPauseButton()->click();
    items[0]->trigger();
    EXPECT_EQ(state.teleprompterText(), "第二篇的内容\n第二行");
    EXPECT_GE(state.scrollOffset(), 123);
    EXPECT_TRUE(state.isScrolling());
    EXPECT_NE(state.scroller()->scrollTimer(), nullptr);

    // A new or edited script shows up without reopening the screen.
    db.addScript(QStringLiteral("第三篇"), QStringLiteral("三"));
    MainLoop::drain();
    openScriptMenu();
    EXPECT_EQ(row.scriptMenu()->actions().size(), 3);
    EXPECT_EQ(row.scriptMenu()->actions().at(0)->text(), "第三篇");
}

TEST_F(TeleprompterControls, ScriptMenuIsBuiltOnlyWhenItIsAboutToShow)
{
    addScripts();
    state.setIsTeleprompterVisible(true);
    EXPECT_TRUE(row.scriptMenu()->actions().isEmpty()) << "built before anyone opened it";

    openScriptMenu();
    const QList<QAction *> built = row.scriptMenu()->actions();
    ASSERT_EQ(built.size(), 2);
    openScriptMenu();
    EXPECT_EQ(row.scriptMenu()->actions(), built) << "rebuilt although the library did not change";

    // Saves elsewhere while it is closed leave it alone, until it opens again.
    Script edited = db.scripts().at(1);
    edited.content = QStringLiteral("改过的内容");
    db.updateScript(edited);
    db.addScript(QStringLiteral("第三篇"), QStringLiteral("三"));
    MainLoop::drain();
    EXPECT_EQ(row.scriptMenu()->actions(), built);
    openScriptMenu();
    const QList<QAction *> rebuilt = row.scriptMenu()->actions();
    ASSERT_EQ(rebuilt.size(), 3);

    // An item chosen gives the content the library holds at that moment.
    QAction *editedItem = nullptr;
    for (QAction *action : rebuilt) {
        if (action->data().toLongLong() == edited.id) {
            editedItem = action;
        }
    }
    ASSERT_NE(editedItem, nullptr);
    editedItem->trigger();
    EXPECT_EQ(state.teleprompterText(), "改过的内容");
    // A script deleted while the menu was open changes nothing.
    const QString shown = state.teleprompterText();
    db.deleteScript(rebuilt.at(0)->data().toLongLong());
    MainLoop::drain();
    rebuilt.at(0)->trigger();
    EXPECT_EQ(state.teleprompterText(), shown);
}

TEST_F(TeleprompterControls, ALargeLibraryListsItsOlderScriptsInPagesOfTheSameOrder)
{
    const int count = ScriptMenu::pageSize * 2 + 20;
    // Straight into the file in one go: through the store, every insert reloads the list.
    sqlite3 *file = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(db.databasePath()).constData(), &file), SQLITE_OK);
    sqlite3_exec(file, "BEGIN;", nullptr, nullptr, nullptr);
    for (int i = 0; i < count; ++i) {
        const QByteArray insert = QStringLiteral("INSERT INTO scripts (title, content, created_at, updated_at) "
                                                 "VALUES ('稿 %1', '内容 %1', %2, %2);")
                                      .arg(i)
                                      .arg(5000 - i)
                                      .toUtf8();
        sqlite3_exec(file, insert.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3_exec(file, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(file);
    db.loadScripts();
    MainLoop::drain();
    ASSERT_EQ(db.scripts().size(), count);
    openScriptMenu();

    QStringList direct;
    QList<QMenu *> pages;
    for (QAction *action : row.scriptMenu()->actions()) {
        if (action->menu()) {
            pages << action->menu();
        } else if (!action->isSeparator()) {
            direct << action->text();
        }
    }
    ASSERT_EQ(direct.size(), ScriptMenu::pageSize);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0]->title(), "第 51–100 条");
    EXPECT_EQ(pages[1]->title(), "第 101–120 条");
    EXPECT_TRUE(pages[1]->actions().isEmpty()) << "a page is built when it opens";

    // Every script once, in the library's order, across the pages.
    QStringList all = direct;
    for (QMenu *page : pages) {
        page->popup(QPoint(0, 0));
        MainLoop::drain();
        page->hide();
        for (QAction *action : page->actions()) {
            all << action->text();
        }
    }
    QStringList expected;
    for (const Script &script : db.scripts()) {
        expected << script.title;
    }
    EXPECT_EQ(all, expected);

    pages[1]->actions().last()->trigger();
    EXPECT_EQ(state.teleprompterText(), db.scripts().last().content);
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
