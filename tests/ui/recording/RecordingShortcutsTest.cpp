#include "RecordingScreenFixture.h"
#include "StoredOptions.h"

#include "library/TeleprompterFont.h"
#include "ui/common/SegmentedControl.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingShortcuts.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

using namespace RecordingScreen;

namespace {
// The screen with the teleprompter on, its window active and the focus on
// the reset button, which has keys of its own (space) but none of ours.
struct KeyScreen : Screen {
    QLineEdit *field = new QLineEdit;

    KeyScreen()
    {
        // A text field in the same window, as the other tabs have.
        field->setParent(view);
        field->setGeometry(0, 0, 120, 24);
        field->show();
        state()->setTeleprompterText(QStringLiteral("第一句\n第二句"));
        state()->setIsTeleprompterVisible(true);
        tabs.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&tabs));
        controls()->resetButton()->setFocus();
        MainLoop::drain();
    }
    RecordingViewState *state() const { return view->viewState(); }
    TeleprompterControlsRow *controls() const
    {
        return qobject_cast<TeleprompterControlsRow *>(view->controlPanel()->teleprompterControls());
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &tabs;
        QTest::keyClick(target, key, modifiers);
        MainLoop::drain();
    }
};
} // namespace

TEST(RecordingShortcuts, EachKeyDoesWhatItsButtonDoesWhereverTheFocusIs)
{
    forgetStoredOptions();
    KeyScreen screen;
    ASSERT_TRUE(screen.waitForCamera());
    RecordingViewState *state = screen.state();
    ASSERT_EQ(QApplication::focusWidget(), screen.controls()->resetButton());

    for (const Qt::Key key : {Qt::Key_B, Qt::Key_Period}) {
        screen.press(key);
        EXPECT_TRUE(state->isScrolling()) << key;
        EXPECT_EQ(screen.controls()->startPauseButton()->text(), "暂停");
        screen.press(key);
        EXPECT_FALSE(state->isScrolling()) << key;
    }

    // Faster and slower by a tenth, on the slider's steps, within 0.1 to 3.0.
    screen.press(Qt::Key_PageDown);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.1);
    screen.press(Qt::Key_Down);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.2);
    EXPECT_EQ(screen.controls()->speedLabel()->text(), "1.2");
    screen.press(Qt::Key_PageUp);
    screen.press(Qt::Key_Up);
    screen.press(Qt::Key_Up);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 0.9);
    state->setScrollSpeed(2.95);
    screen.press(Qt::Key_Down);
    screen.press(Qt::Key_Down);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 3.0);
    state->setScrollSpeed(0.1);
    screen.press(Qt::Key_Up);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 0.1);
    // A held key repeats the speed change, but not a toggle.
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_B, Qt::Key_F5}) {
        QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    }
    MainLoop::drain();
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 0.3);
    EXPECT_FALSE(state->isScrolling());

    screen.press(Qt::Key_B);
    state->setScrollOffset(250);
    screen.press(Qt::Key_Home);
    EXPECT_FALSE(state->isScrolling());
    EXPECT_EQ(state->scrollOffset(), 0);

    // F5 as the record button, from a button's focus this time.
    screen.view->controlPanel()->voiceFeedbackRow()->recordButton()->setFocus();
    screen.press(Qt::Key_F5);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screen.camera->isRecording(); }, 15000));
    MainLoop::spin(300);
    screen.press(Qt::Key_F5, Qt::ShiftModifier); // what many clickers send
    EXPECT_TRUE(MainLoop::waitUntil([&] { return !screen.camera->isRecording(); }, 30000));
    EXPECT_TRUE(screen.waitForLibraryRows(1));
}

TEST(RecordingShortcuts, DoNothingWhileATextFieldHasTheFocusOrTheScreenIsNotShown)
{
    forgetStoredOptions();
    KeyScreen screen;
    ASSERT_TRUE(screen.waitForCamera());
    RecordingViewState *state = screen.state();
    auto *editor = new QPlainTextEdit(screen.view);
    auto *spinBox = new QSpinBox(screen.view);
    editor->show();
    spinBox->show();
    state->setScrollOffset(100);

    for (QWidget *input : QList<QWidget *>{screen.field, editor, spinBox}) {
        SCOPED_TRACE(input->metaObject()->className());
        input->setFocus();
        MainLoop::drain();
        ASSERT_EQ(QApplication::focusWidget(), input);
        for (const Qt::Key key : {Qt::Key_F5, Qt::Key_B, Qt::Key_Period, Qt::Key_PageDown, Qt::Key_Down, Qt::Key_PageUp,
                 Qt::Key_Up, Qt::Key_Home}) {
            screen.press(key);
        }
        EXPECT_FALSE(state->isScrolling());
        EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.0);
        EXPECT_EQ(state->scrollOffset(), 100);
    }
    EXPECT_EQ(screen.field->text(), "b.") << "the field got its letters";
    EXPECT_EQ(editor->toPlainText(), "b.");
    EXPECT_EQ(spinBox->value(), 11) << "the spin box got its pages and arrows";

    // Another tab: the keys are the lists' there.
    screen.controls()->speedSlider()->setFocus();
    screen.showTab(1);
    for (const Qt::Key key : {Qt::Key_F5, Qt::Key_B, Qt::Key_Down, Qt::Key_Home}) {
        QTest::keyClick(screen.tabs.currentWidget(), key);
    }
    MainLoop::drain();
    EXPECT_FALSE(state->isScrolling());
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.0);
    EXPECT_EQ(state->scrollOffset(), 100);

    // With the teleprompter off only F5 is the screen's.
    screen.showTab(0);
    state->setIsTeleprompterVisible(false);
    screen.view->setFocus();
    screen.press(Qt::Key_B);
    screen.press(Qt::Key_Down);
    EXPECT_FALSE(state->isScrolling());
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.0);

    MainLoop::spin(300);
    EXPECT_FALSE(screen.camera->isRecording()) << "no F5 above reached the recorder";
    EXPECT_TRUE(screen.log.linesStartingWith(QStringLiteral("🎬 开始录制: ")).isEmpty());
}

TEST(RecordingShortcuts, ControlsThatMoveByArrowsKeepThem)
{
    forgetStoredOptions();
    KeyScreen screen;
    RecordingViewState *state = screen.state();
    TeleprompterControlsRow *controls = screen.controls();

    // The size slider: its arrows, pages and Home move the size, not the speed.
    controls->sizeSlider()->setFocus();
    MainLoop::drain();
    ASSERT_EQ(QApplication::focusWidget(), controls->sizeSlider());
    screen.press(Qt::Key_Up);
    EXPECT_DOUBLE_EQ(state->teleprompterFontSize(), 30);
    screen.press(Qt::Key_PageUp);
    EXPECT_DOUBLE_EQ(state->teleprompterFontSize(), 34);
    state->setScrollOffset(80);
    screen.press(Qt::Key_Home);
    EXPECT_DOUBLE_EQ(state->teleprompterFontSize(), 16);
    EXPECT_EQ(state->scrollOffset(), 80) << "Home went to the slider only";
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.0);
    // Keys the slider has no use for stay the screen's.
    screen.press(Qt::Key_B);
    EXPECT_TRUE(state->isScrolling());
    screen.press(Qt::Key_B);

    // The typeface picker walks its list.
    controls->fontPicker()->setFocus();
    MainLoop::drain();
    ASSERT_EQ(QApplication::focusWidget(), controls->fontPicker());
    screen.press(Qt::Key_Down);
    EXPECT_EQ(controls->fontPicker()->currentIndex(), 1);
    EXPECT_EQ(state->selectedFont(), TeleprompterFont::allCases().at(1));
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.0);

    // A segmented choice moves along with its arrows; Page Down is still the speed.
    SegmentedControl *ratio = screen.view->controlPanel()->cameraRow()->ratioControl();
    ratio->segment(2)->setFocus();
    MainLoop::drain();
    ASSERT_EQ(QApplication::focusWidget(), ratio->segment(2));
    screen.press(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), ratio->segment(3)) << "the arrow did not reach the segments";
    EXPECT_EQ(state->selectedAspectRatio(), VideoAspectRatio::ratio9x16);
    screen.press(Qt::Key_Down); // the last segment: nothing further, and still not the speed
    screen.press(Qt::Key_Up);
    EXPECT_EQ(state->selectedAspectRatio(), VideoAspectRatio::ratio16x9);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.0);
    screen.press(Qt::Key_PageDown);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.1);

    // The speed slider follows the speed keys its tooltip names, a tenth at a
    // time, not its own (where Down would slow down).
    controls->speedSlider()->setFocus();
    MainLoop::drain();
    screen.press(Qt::Key_Down);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.2);
    screen.press(Qt::Key_PageUp);
    EXPECT_DOUBLE_EQ(state->scrollSpeed(), 1.1);
}

TEST(RecordingShortcuts, TheTooltipsNameTheKeys)
{
    KeyScreen screen;
    EXPECT_TRUE(screen.view->controlPanel()->voiceFeedbackRow()->recordButton()->toolTip().contains("F5"));
    const QString scroll = screen.controls()->startPauseButton()->toolTip();
    EXPECT_TRUE(scroll.contains("B") && scroll.contains(".")) << scroll.toStdString();
    EXPECT_TRUE(screen.controls()->resetButton()->toolTip().contains("Home"));
    const QString speed = screen.controls()->speedSlider()->toolTip();
    EXPECT_TRUE(speed.contains("Page Down") && speed.contains("Page Up") && speed.contains("↓") && speed.contains("↑"))
        << speed.toStdString();
}
