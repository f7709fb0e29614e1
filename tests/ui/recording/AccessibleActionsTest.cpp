#include "RecordingScreenFixture.h"
#include "StoredOptions.h"

#include "platform/media/CaptureSession.h"
#include "ui/common/SegmentedControl.h"
#include "ui/recording/AspectRatioCropOverlay.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingOptionsButton.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QImage>
#include <QMenu>
#include <QPushButton>

using namespace RecordingScreen;

namespace {
// What the accessibility bridge does when a screen reader or a desktop robot
// activates a control: the named action of its accessible interface.
void act(QAccessibleInterface *target, const QString &action)
{
    ASSERT_NE(target, nullptr);
    QAccessibleActionInterface *actions = target->actionInterface();
    ASSERT_NE(actions, nullptr) << qPrintable(target->text(QAccessible::Name));
    ASSERT_TRUE(actions->actionNames().contains(action))
        << qPrintable(target->text(QAccessible::Name)) << " offers " << qPrintable(actions->actionNames().join(", "));
    actions->doAction(action);
    MainLoop::drain();
}

void act(QObject *target, const QString &action)
{
    act(QAccessible::queryAccessibleInterface(target), action);
}

QAccessibleInterface *menuItem(QMenu *menu, const QString &title)
{
    QAccessibleInterface *accessibleMenu = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; accessibleMenu && i < accessibleMenu->childCount(); ++i) {
        QAccessibleInterface *item = accessibleMenu->child(i);
        if (item && item->text(QAccessible::Name) == title) {
            return item;
        }
    }
    return nullptr;
}

CameraRow *row1(const Screen &screen)
{
    return screen.view->controlPanel()->cameraRow();
}
TeleprompterControlsRow *row2(const Screen &screen)
{
    return qobject_cast<TeleprompterControlsRow *>(screen.view->controlPanel()->teleprompterControls());
}
RecordButton *recordButton(const Screen &screen)
{
    return screen.view->controlPanel()->voiceFeedbackRow()->recordButton();
}
} // namespace

TEST(AccessibleActions, ToggleOnARatioSegmentChoosesItAndTheNextTakeIsCroppedToIt)
{
    Screen screen;
    ASSERT_TRUE(screen.waitForCamera());
    RecordingViewState *state = screen.view->viewState();
    SegmentedControl *ratio = row1(screen)->ratioControl();

    act(ratio->segment(0), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(ratio->currentIndex(), 0);
    EXPECT_EQ(state->selectedAspectRatio(), VideoAspectRatio::ratio1x1);
    EXPECT_DOUBLE_EQ(screen.view->pictureArea()->overlay()->ratio(), 1.0);
    // Toggling the checked segment again cannot leave the control without a choice.
    act(ratio->segment(0), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(state->selectedAspectRatio(), VideoAspectRatio::ratio1x1);

    act(recordButton(screen), QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(screen.waitForRecording());
    EXPECT_EQ(screen.camera->pendingAspectRatio(), VideoAspectRatio::ratio1x1);
    MainLoop::spin(600);
    act(recordButton(screen), QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !screen.camera->isRecording(); }, 20000));
    ASSERT_TRUE(screen.waitForLibraryRows(1));

    const VideoRecord take = DatabaseManager::shared().videos().first();
    ASSERT_TRUE(take.thumbnailPath.has_value());
    const QImage thumbnail(*take.thumbnailPath);
    ASSERT_FALSE(thumbnail.isNull());
    EXPECT_NEAR(double(thumbnail.width()) / thumbnail.height(), 1.0, 0.02) << "the take was not cut to 1:1";
}

TEST(AccessibleActions, ToggleOnAResolutionSegmentAndOnTheTeleprompterBoxChangeTheViewState)
{
    Screen screen;
    RecordingViewState *state = screen.view->viewState();
    SegmentedControl *resolution = row1(screen)->resolutionControl();

    act(resolution->segment(1), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(resolution->currentIndex(), 1);
    EXPECT_EQ(state->selectedResolution(), VideoResolution::p720);
    EXPECT_FALSE(resolution->segment(2)->isChecked());

    // A change made elsewhere shows in the segments and is not sent back as a choice.
    state->setSelectedResolution(VideoResolution::p2K);
    EXPECT_EQ(resolution->currentIndex(), 3);
    EXPECT_EQ(state->selectedResolution(), VideoResolution::p2K);

    QCheckBox *box = row2(screen)->visibleBox();
    act(box, QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(state->isTeleprompterVisible());
    EXPECT_TRUE(row2(screen)->group()->isVisible());
    act(box, QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(state->isTeleprompterVisible());
    EXPECT_FALSE(row2(screen)->group()->isVisible());
}

TEST(AccessibleActions, SchemeButtonAndOptionsItemsActThroughTheirActions)
{
    forgetStoredOptions();
    Screen screen;
    RecordingViewState *state = screen.view->viewState();
    state->setIsTeleprompterVisible(true);
    MainLoop::drain();

    QPushButton *scheme = row2(screen)->schemeButton();
    ASSERT_TRUE(state->isTeleprompterDarkMode());
    act(scheme, QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !state->isTeleprompterDarkMode(); }, 5000));
    EXPECT_EQ(scheme->text(), "深色模式");

    // Menu items as a screen reader reaches them, with the menu closed.
    QMenu *menu = screen.view->aids()->optionsButton()->optionsMenu();
    int actionsTried = 0;
    for (const QString &action :
        {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::toggleAction()}) {
        QAccessibleInterface *follow = menuItem(menu, QStringLiteral("跟读滚动"));
        QAccessibleInterface *countdown = menuItem(menu, QStringLiteral("录制前倒计时"));
        if (!follow || !follow->actionInterface()->actionNames().contains(action)) {
            continue; // not every Qt offers both on a menu item
        }
        SCOPED_TRACE(action.toStdString());
        ++actionsTried;
        const bool following = state->isVoiceFollowing();
        const bool counting = screen.view->aids()->options()->isCountdownEnabled();
        act(follow, action);
        act(countdown, action);
        EXPECT_NE(state->isVoiceFollowing(), following);
        EXPECT_NE(screen.view->aids()->options()->isCountdownEnabled(), counting);
        EXPECT_EQ(screen.view->aids()->optionsButton()->item(QStringLiteral("跟读滚动"))->isChecked(), !following);
    }
    EXPECT_GT(actionsTried, 0);
    forgetStoredOptions();
}
