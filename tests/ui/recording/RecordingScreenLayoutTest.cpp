#include "RecordingScreenFixture.h"

#include "ui/common/ElidedLabel.h"
#include "ui/common/SegmentedControl.h"
#include "ui/recording/AspectRatioCropOverlay.h"
#include "ui/recording/CameraMenuButton.h"
#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingIndicator.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterControlsRow.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QPointer>
#include <QTabBar>

using namespace RecordingScreen;

namespace {

QRect inView(const Screen &screen, const QWidget *widget)
{
    return QRect(widget->mapTo(screen.view, QPoint(0, 0)), widget->size());
}

// The row items of a row widget: its direct children that are shown.
QList<QWidget *> shownItems(QWidget *row)
{
    QList<QWidget *> items;
    for (QWidget *child : row->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible()) {
            items << child;
        }
    }
    return items;
}

void expectNothingClipped(const Screen &screen)
{
    const QRect view = screen.view->rect();
    for (QAbstractButton *button : screen.view->findChildren<QAbstractButton *>()) {
        if (!button->isVisible()) {
            continue;
        }
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_TRUE(view.contains(inView(screen, button))) << "inside the screen";
        if (!qobject_cast<CameraMenuButton *>(button)) {
            EXPECT_LT(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 4)
                << "the whole title shows";
        }
    }
    for (ElidedLabel *label : screen.view->findChildren<ElidedLabel *>()) {
        if (!label->isVisible()) {
            continue;
        }
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_TRUE(view.contains(inView(screen, label)));
        const QString shown = label->displayedText();
        EXPECT_FALSE(shown.isEmpty());
        EXPECT_LE(label->fontMetrics().horizontalAdvance(shown),
            label->width() - label->padding().left() - label->padding().right())
            << "cut with an ellipsis, never clipped";
    }
    for (QLabel *label : screen.view->findChildren<QLabel *>()) {
        if (label->isVisible() && !qobject_cast<ElidedLabel *>(label) && !label->text().isEmpty()) {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
                << label->text().toStdString();
        }
    }
    for (SegmentedControl *control : screen.view->findChildren<SegmentedControl *>()) {
        EXPECT_GE(control->width(), control->minimumSizeHint().width()) << control->label().toStdString();
    }
    // The items of each row stand side by side without touching.
    QList<QWidget *> rows = {screen.view->controlPanel()->cameraRow(), screen.view->controlPanel()->voiceFeedbackRow()};
    if (auto *teleprompterRow
        = qobject_cast<TeleprompterControlsRow *>(screen.view->controlPanel()->teleprompterControls())) {
        rows << teleprompterRow << teleprompterRow->group();
    }
    for (QWidget *row : rows) {
        if (!row->isVisible()) {
            continue;
        }
        const QList<QWidget *> items = shownItems(row);
        for (int i = 0; i < items.size(); ++i) {
            EXPECT_TRUE(row->rect().contains(items[i]->geometry())) << items[i]->metaObject()->className();
            for (int j = i + 1; j < items.size(); ++j) {
                EXPECT_FALSE(items[i]->geometry().intersects(items[j]->geometry()))
                    << items[i]->metaObject()->className() << " and " << items[j]->metaObject()->className();
            }
        }
    }
    const QRect panel = inView(screen, screen.view->controlPanel());
    EXPECT_FALSE(panel.intersects(inView(screen, screen.view->pictureArea())));
    EXPECT_EQ(panel.bottom(), view.bottom()) << "the panel is not pushed off the screen";
}

} // namespace

TEST(RecordingScreenLayout, FitsTheMinimumWindowWithoutClipping)
{
    Screen screen({.cameras = {colourBars(QStringLiteral("Integrated Webcam HD with a long product name (USB 2.0)"),
                       QStringLiteral("test:long"))},
        .windowSize = QSize(960, 680)});
    ASSERT_TRUE(screen.waitForCamera());
    screen.camera->setSaveFolder(
        QStringLiteral("/home/someone/Videos/Recordings/2025/Talking heads/Episode twelve, second take"));
    VoiceFeedbackRow *voice = screen.view->controlPanel()->voiceFeedbackRow();
    voice->heardCommandBadge()->setText(QStringLiteral("✅ 识别到: 开始录制"));
    voice->heardCommandBadge()->show();
    voice->recognitionBadge()->setText(
        QStringLiteral("识别中: 大家好欢迎收看本期节目今天我们来聊一聊怎样在家里录出好看的口播视频"
                       "先说灯光再说收音最后说说剪辑的时候要注意什么好了现在开始录制"));
    voice->recognitionBadge()->show();
    // The teleprompter on: row 2 shows all of its controls.
    screen.view->viewState()->setTeleprompterText(QStringLiteral("大家好"));
    screen.view->viewState()->setIsTeleprompterVisible(true);
    MainLoop::drain();
    ASSERT_EQ(screen.tabs.size(), QSize(960, 680));
    ASSERT_NE(screen.view->controlPanel()->teleprompterControls(), nullptr);
    EXPECT_TRUE(screen.view->pictureArea()->isTeleprompterShown());
    ASSERT_LE(screen.view->width(), 960);

    expectNothingClipped(screen);

    CameraRow *row = screen.view->controlPanel()->cameraRow();
    EXPECT_TRUE(row->cameraMenu()->text().endsWith(QChar(0x2026))) << "the camera title gives way first";
    EXPECT_TRUE(row->saveFolderLabel()->displayedText().contains(QChar(0x2026)));
    EXPECT_EQ(row->saveFolderLabel()->text(), screen.camera->saveFolder()) << "the whole path is kept";
    EXPECT_EQ(row->saveFolderLabel()->toolTip(), screen.camera->saveFolder());
    const QString recognized = voice->recognitionBadge()->displayedText();
    EXPECT_TRUE(recognized.endsWith(QChar(0x2026))) << "one line, ellipsis at the end";
    EXPECT_EQ(voice->recordButton()->height(), voice->recordButton()->sizeHint().height());

    // Wide again: every stated width comes back, and nothing needs cutting.
    screen.tabs.resize(1400, 800);
    MainLoop::drain();
    expectNothingClipped(screen);
    EXPECT_EQ(row->ratioControl()->width(), CameraRow::ratioControlWidth);
    EXPECT_EQ(row->resolutionControl()->width(), CameraRow::resolutionControlWidth);
    EXPECT_LE(row->saveFolderLabel()->width(), CameraRow::saveFolderMaxWidth);
}

TEST(RecordingScreenLayout, RecordButtonIsCentredInTheRoomTheBadgesLeave)
{
    Screen screen;
    VoiceFeedbackRow *voice = screen.view->controlPanel()->voiceFeedbackRow();
    RecordButton *button = voice->recordButton();
    const int rowWidth = voice->width();
    EXPECT_NEAR(button->geometry().center().x(), rowWidth / 2, 1) << "centred in the whole row without badges";

    voice->heardCommandBadge()->setText(QStringLiteral("✅ 识别到: 停止录制"));
    voice->heardCommandBadge()->show();
    MainLoop::drain();
    // The free part starts one item spacing after the badge.
    const int freeStart = voice->heardCommandBadge()->geometry().right() + 1 + 14;
    const int leftRoom = button->x() - freeStart;
    const int rightRoom = rowWidth - button->geometry().right() - 1;
    EXPECT_NEAR(leftRoom, rightRoom, 2) << "the two flexible spaces share the free room";
}

TEST(RecordingScreenLayout, EveryControlHasAnAccessibleNameAndState)
{
    Screen screen;
    ASSERT_TRUE(screen.waitForCamera());
    for (QAbstractButton *button : screen.view->findChildren<QAbstractButton *>()) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(accessible, nullptr);
        const QString name = accessible->text(QAccessible::Name);
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(name.isEmpty()) << button->metaObject()->className();
        if (!qobject_cast<CameraMenuButton *>(button) && !button->text().isEmpty()) {
            EXPECT_EQ(name, button->text()) << "the visible text";
        }
        ASSERT_NE(accessible->actionInterface(), nullptr);
        const QStringList actions = accessible->actionInterface()->actionNames();
        EXPECT_TRUE(actions.contains(QAccessibleActionInterface::pressAction())
            || actions.contains(QAccessibleActionInterface::toggleAction())
            || actions.contains(QAccessibleActionInterface::showMenuAction()))
            << actions.join(',').toStdString();
    }
    CameraRow *row = screen.view->controlPanel()->cameraRow();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(row->cameraMenu())->text(QAccessible::Name), "Colour Bars");
    EXPECT_EQ(row->ratioControl()->accessibleName(), "比例");
    EXPECT_EQ(row->resolutionControl()->accessibleName(), "分辨率");

    // The checked segment is exposed, and follows the state.
    QAccessibleInterface *sixteenNine = QAccessible::queryAccessibleInterface(row->ratioControl()->segment(2));
    EXPECT_TRUE(sixteenNine->state().checkable);
    EXPECT_TRUE(sixteenNine->state().checked);
    screen.view->viewState()->setSelectedAspectRatio(VideoAspectRatio::ratio4x3);
    EXPECT_FALSE(sixteenNine->state().checked);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(row->ratioControl()->segment(1))->state().checked);

    // Pressing through accessibility drives the screen like a click.
    QAccessibleInterface *nineSixteen = QAccessible::queryAccessibleInterface(row->ratioControl()->segment(3));
    nineSixteen->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(screen.view->viewState()->selectedAspectRatio(), VideoAspectRatio::ratio9x16);

    EXPECT_EQ(row->saveFolderLabel()->accessibleName(), screen.folder.path());
    EXPECT_FALSE(screen.view->pictureArea()->preview()->accessibleName().isEmpty());
}

TEST(RecordingScreenLayout, TeleprompterSlotsPlaceTheBoxAndTheRow)
{
    Screen screen;
    PictureArea *area = screen.view->pictureArea();
    QPointer<QWidget> box = new QWidget;
    area->setTeleprompterView(box);
    EXPECT_EQ(box->parentWidget(), area);
    EXPECT_FALSE(box->isVisible()) << "off until the teleprompter is on and has text";

    screen.view->viewState()->setTeleprompterText(QStringLiteral("第一句"));
    screen.view->viewState()->setIsTeleprompterVisible(true);
    EXPECT_TRUE(box->isVisible());
    const QSize size = area->size();
    EXPECT_EQ(box->geometry(), QRect(20, 16, size.width() - 40, qRound(size.height() * 0.55)));
    // Clipped to the rounded corners.
    const QRegion mask = box->mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(box->width() - 1, box->height() - 1)));
    EXPECT_TRUE(mask.contains(QPoint(0, box->height() / 2)));
    EXPECT_TRUE(mask.contains(QPoint(12, 12)));
    // Over the overlay, under the indicator.
    const QObjectList layers = area->children();
    EXPECT_LT(layers.indexOf(area->preview()), layers.indexOf(area->overlay()));
    EXPECT_LT(layers.indexOf(area->overlay()), layers.indexOf(box));
    EXPECT_LT(layers.indexOf(box), layers.indexOf(area->indicator()));

    screen.tabs.resize(1300, 900);
    MainLoop::drain();
    EXPECT_EQ(box->geometry(), QRect(20, 16, area->width() - 40, qRound(area->height() * 0.55)));

    RecordingControlPanel *panel = screen.view->controlPanel();
    auto *controls = new QWidget;
    controls->setFixedHeight(28);
    panel->setTeleprompterControls(controls);
    MainLoop::drain();
    EXPECT_EQ(controls->parentWidget(), panel);
    const QRect row1 = panel->cameraRow()->geometry();
    const QRect row3 = panel->voiceFeedbackRow()->geometry();
    EXPECT_EQ(controls->y(), row1.bottom() + 1 + 10) << "10 points between rows";
    EXPECT_EQ(row3.y(), controls->geometry().bottom() + 1 + 10);
    EXPECT_EQ(controls->width(), row1.width());

    // A new box replaces the old one.
    area->setTeleprompterView(new QWidget);
    MainLoop::drain();
    EXPECT_TRUE(box.isNull());
}
