#include "RecordingScreenFixture.h"
#include "StoredOptions.h"

#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingOptionsButton.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QPushButton>

using namespace RecordingScreen;

namespace {
const QStringList titles = {QStringLiteral("镜像预览"), QStringLiteral("镜像文字"), QStringLiteral("录制前倒计时"),
    QStringLiteral("裁掉结尾的语音指令"), QStringLiteral("跟读滚动")};

QStringList checkedItems(const RecordingOptionsButton *button)
{
    QStringList checked;
    for (const QString &title : titles) {
        if (button->item(title)->isChecked()) {
            checked << title;
        }
    }
    return checked;
}

TeleprompterView *teleprompter(const Screen &screen)
{
    return qobject_cast<TeleprompterView *>(screen.view->pictureArea()->teleprompterView());
}
} // namespace

TEST(RecordingOptionsButton, EndsRowOneAndHoldsTheOptionsAsCheckableItems)
{
    forgetStoredOptions();
    Screen screen;
    RecordingOptionsButton *button = screen.view->aids()->optionsButton();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), "录制选项");
    EXPECT_TRUE(button->text().isEmpty()) << "the dots are drawn; the name is for screen readers";
    EXPECT_FALSE(button->icon().isNull());
    CameraRow *row = screen.view->controlPanel()->cameraRow();
    EXPECT_EQ(button->parentWidget(), row);
    EXPECT_GT(button->x(), row->changeFolderButton()->mapTo(row, QPoint(0, 0)).x()) << "after the save folder";
    EXPECT_LE(button->geometry().right(), row->width());

    QStringList shown;
    for (QAction *action : button->optionsMenu()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_TRUE(action->isCheckable()) << action->text().toStdString();
            shown << action->text();
        }
    }
    EXPECT_EQ(shown, titles);
    EXPECT_EQ(checkedItems(button), QStringList{QStringLiteral("裁掉结尾的语音指令")})
        << "everything else off: the screen behaves as without the menu";
    EXPECT_FALSE(screen.view->pictureArea()->preview()->isMirrored());
    EXPECT_FALSE(teleprompter(screen)->isMirrored());
    EXPECT_FALSE(screen.view->viewState()->isVoiceFollowing());
}

TEST(RecordingOptionsButton, ChoicesTakeEffectAtOnceAndPersistAcrossANewScreen)
{
    forgetStoredOptions();
    {
        Screen screen;
        RecordingOptionsButton *button = screen.view->aids()->optionsButton();
        for (const QString &title : titles) {
            button->item(title)->trigger();
        }
        EXPECT_TRUE(screen.view->pictureArea()->preview()->isMirrored());
        EXPECT_TRUE(teleprompter(screen)->isMirrored());
        EXPECT_TRUE(screen.view->aids()->options()->isCountdownEnabled());
        EXPECT_FALSE(screen.view->aids()->options()->isTrimmingVoiceCommand());
        EXPECT_TRUE(screen.view->viewState()->isVoiceFollowing());
        // Following turned off by other means is kept too, and the item follows.
        screen.view->viewState()->setIsVoiceFollowing(false);
        EXPECT_FALSE(button->item(QStringLiteral("跟读滚动"))->isChecked());
        screen.view->viewState()->setIsVoiceFollowing(true);
    }
    Screen again;
    RecordingOptionsButton *button = again.view->aids()->optionsButton();
    EXPECT_EQ(checkedItems(button),
        (QStringList{QStringLiteral("镜像预览"), QStringLiteral("镜像文字"), QStringLiteral("录制前倒计时"),
            QStringLiteral("跟读滚动")}));
    EXPECT_TRUE(again.view->pictureArea()->preview()->isMirrored());
    EXPECT_TRUE(teleprompter(again)->isMirrored());
    EXPECT_TRUE(again.view->viewState()->isVoiceFollowing());
    EXPECT_FALSE(again.view->aids()->options()->isTrimmingVoiceCommand());

    // Unticking undoes each at once.
    button->item(QStringLiteral("镜像预览"))->trigger();
    button->item(QStringLiteral("镜像文字"))->trigger();
    button->item(QStringLiteral("跟读滚动"))->trigger();
    EXPECT_FALSE(again.view->pictureArea()->preview()->isMirrored());
    EXPECT_FALSE(teleprompter(again)->isMirrored());
    EXPECT_FALSE(again.view->viewState()->isVoiceFollowing());
    forgetStoredOptions();
}
