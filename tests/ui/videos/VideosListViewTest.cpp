#include "VideoLibraryFixture.h"

#include "support/LogCapture.h"
#include "ui/videos/VideoRowButtons.h"
#include "ui/videos/VideoRowMenu.h"
#include "ui/videos/VideosHeaderBar.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QStandardPaths>
#include <QToolTip>

#include <limits>

namespace {
QStringList shownFileNames(VideosListView &view)
{
    QStringList names;
    for (const VideoRecord &video : view.model()->videos()) {
        names << video.fileName;
    }
    return names;
}

QString trashed(const QString &fileName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files/" + fileName;
}
} // namespace

TEST(VideosListView, CountIsShownInEveryStateAndRowsAreNewestFirst)
{
    VideoLibraryFixture library;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // a locale that groups digits
    auto view = library.showView();
    EXPECT_EQ(view->header()->countLabel()->text(), "0 个视频");
    EXPECT_TRUE(view->isShowingEmptyState());

    library.insert(
        {{"middle.mp4", std::nullopt, 2000}, {"oldest.mp4", std::nullopt, 1000}, {"newest.mp4", std::nullopt, 3000}});
    EXPECT_EQ(view->header()->countLabel()->text(), "3 个视频");
    EXPECT_EQ(view->header()->countLabel()->accessibleName(), "3 个视频");
    EXPECT_FALSE(view->isShowingEmptyState());
    EXPECT_EQ(shownFileNames(*view), (QStringList{"newest.mp4", "middle.mp4", "oldest.mp4"}));

    QList<VideoLibraryFixture::Row> many;
    for (int i = 0; i < 1231; ++i) {
        many.append({QString("v%1.mp4").arg(i), std::nullopt, 100.0 + i});
    }
    library.insert(many);
    EXPECT_EQ(view->header()->countLabel()->text(), "1234 个视频"); // never "1,234"

    // Deleting the last video brings the empty state back with a zero.
    library.execute("DELETE FROM videos WHERE file_name <> 'newest.mp4';");
    EXPECT_EQ(view->header()->countLabel()->text(), "1 个视频");
    view->contextMenuForRow(0)->deleteAction()->trigger();
    MainLoop::drain();
    EXPECT_EQ(view->header()->countLabel()->text(), "0 个视频");
    EXPECT_TRUE(view->isShowingEmptyState());
}

TEST(VideosListView, RowsAndButtonsAreNamedForScreenReaders)
{
    VideoLibraryFixture library;
    library.insert({{"20250303_140509.mp4", std::nullopt, 2000}, {"20250302_090000.mp4", std::nullopt, 1000}});
    auto view = library.showView();

    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view->rows());
    ASSERT_NE(list, nullptr);
    QStringList names;
    for (int i = 0; i < list->childCount(); ++i) {
        if (list->child(i)->role() == QAccessible::ListItem) {
            names << list->child(i)->text(QAccessible::Name);
        }
    }
    EXPECT_EQ(names, (QStringList{"20250303_140509.mp4", "20250302_090000.mp4"}));

    // Each row holds its two buttons, named, told apart by the file, and
    // inside the row at its right end.
    for (int rowIndex : {0, 1}) {
        QAccessibleInterface *item = list->child(rowIndex);
        ASSERT_EQ(item->childCount(), 2);
        QAccessibleInterface *play = item->child(0);
        QAccessibleInterface *reveal = item->child(1);
        EXPECT_EQ(play->role(), QAccessible::Button);
        EXPECT_EQ(play->text(QAccessible::Name), "播放视频");
        EXPECT_EQ(reveal->text(QAccessible::Name), "在文件管理器中显示");
        EXPECT_EQ(play->text(QAccessible::Description), names.at(rowIndex));
        EXPECT_EQ(play->parent(), item);
        EXPECT_EQ(item->parent(), list);
        EXPECT_EQ(list->indexOfChild(item), rowIndex);
        EXPECT_EQ(item->indexOfChild(reveal), 1);
        EXPECT_TRUE(item->rect().contains(play->rect()));
        EXPECT_TRUE(item->rect().contains(reveal->rect()));
        EXPECT_GT(play->rect().left(), item->rect().center().x());
        EXPECT_EQ(list->childAt(play->rect().center().x(), play->rect().center().y()), item);
        EXPECT_EQ(item->childAt(reveal->rect().center().x(), reveal->rect().center().y()), reveal);
    }

    // The mouse finds the same names in tooltips.
    const QPoint over = view->rows()->buttonRect(0, VideoRowButtons::reveal).center();
    QHelpEvent help(QEvent::ToolTip, over, view->rows()->viewport()->mapToGlobal(over));
    QApplication::sendEvent(view->rows()->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), "在文件管理器中显示");
    QToolTip::hideText();
}

TEST(VideosListView, ButtonsAndMenuEntriesPlayAndRevealTheRowsOwnFile)
{
    VideoLibraryFixture library;
    ASSERT_TRUE(library.writeVideo("a.mp4", "red"));
    ASSERT_TRUE(QFile::copy(library.pathOf("a.mp4"), library.pathOf("b.mp4")));
    library.insert({{"b.mp4", std::nullopt, 2000}, {"a.mp4", std::nullopt, 1000}});
    auto view = library.showView();
    const QUrl second = QUrl::fromLocalFile(library.pathOf("a.mp4"));

    VideoLibraryFixture::click(*view, 1, VideoRowButtons::play);
    EXPECT_EQ(library.openedUrls, QList<QUrl>{second});
    // A press on a button let go elsewhere is no click.
    QTest::mousePress(
        view->rows()->viewport(), Qt::LeftButton, {}, view->rows()->buttonRect(1, VideoRowButtons::play).center());
    QTest::mouseRelease(
        view->rows()->viewport(), Qt::LeftButton, {}, view->rows()->buttonRect(0, VideoRowButtons::play).center());
    EXPECT_EQ(library.openedUrls, QList<QUrl>{second});
    std::unique_ptr<VideoRowMenu> menu = view->contextMenuForRow(1);
    menu->playAction()->trigger();
    EXPECT_EQ(library.openedUrls, (QList<QUrl>{second, second}));

    library.openedUrls.clear();
    VideoLibraryFixture::click(*view, 1, VideoRowButtons::reveal);
    menu->revealAction()->trigger();
    EXPECT_EQ(library.revealedUrls, (QList<QList<QUrl>>{{second}, {second}}));

    // A screen reader presses the same buttons through their action.
    QAccessibleInterface *play = VideoLibraryFixture::accessibleButton(*view, 1, VideoRowButtons::play);
    ASSERT_NE(play, nullptr);
    ASSERT_NE(play->actionInterface(), nullptr);
    EXPECT_EQ(play->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    play->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    VideoLibraryFixture::accessibleButton(*view, 1, VideoRowButtons::reveal)
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    // (A reveal with no file manager on the bus opens the folder instead.)
    EXPECT_EQ(library.openedUrls.count(second), 1);
    EXPECT_EQ(library.revealedUrls.size(), 3);

    // And the keyboard plays the current row, and opens its menu, where reveal is.
    view->rows()->setCurrentIndex(view->model()->index(1));
    QTest::keyClick(view->rows(), Qt::Key_Return);
    EXPECT_EQ(library.openedUrls.count(second), 2);
    EXPECT_TRUE(view->rows()->rowDelegate()->showsFocus()) << "the current row is outlined while keys are used";
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), view->rows()->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(view->rows(), &menuKey);
    auto *keyboardMenu = qobject_cast<VideoRowMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(keyboardMenu, nullptr);
    keyboardMenu->revealAction()->trigger();
    keyboardMenu->close();
    EXPECT_EQ(library.revealedUrls.size(), 4);
    EXPECT_EQ(library.revealedUrls.last(), QList<QUrl>{second});
    QTest::mouseClick(
        view->rows()->viewport(), Qt::LeftButton, {}, view->rows()->visualRect(view->model()->index(0)).center());
    EXPECT_FALSE(view->rows()->rowDelegate()->showsFocus());

    QStringList entries;
    for (const QAction *action : menu->actions()) {
        entries << (action->isSeparator() ? QString("---") : action->text());
    }
    EXPECT_EQ(entries, (QStringList{"播放", "在文件管理器中显示", "---", "删除"}));
}

TEST(VideosListView, PlayAndRevealOpenNothingButAVideoFile)
{
    VideoLibraryFixture library;
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(library.pathOf(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QByteArray launcher = "[Desktop Entry]\nType=Application\nName=x\nExec=sh -c 'touch /tmp/owned'\n";
    const QByteArray script = "#!/bin/sh\ntouch /tmp/owned\n";
    write("launcher.desktop", launcher);
    write("launcher.mp4", launcher); // a launcher named as a video
    write("script.sh", script);
    write("script.mp4", script);
    ASSERT_TRUE(QDir().mkpath(library.pathOf("folder.mp4")));
    ASSERT_TRUE(QFile::link(library.pathOf("launcher.desktop"), library.pathOf("link.mp4")));
    ASSERT_TRUE(library.writeVideo("real.mp4", "red"));
    const QStringList refused
        = {"launcher.desktop", "launcher.mp4", "script.sh", "script.mp4", "folder.mp4", "link.mp4", "gone.mp4"};
    QList<VideoLibraryFixture::Row> rows = {{"real.mp4", std::nullopt, 9000}};
    for (int i = 0; i < refused.size(); ++i) {
        rows.append({refused[i], std::nullopt, 1000.0 - i});
    }
    library.insert(rows);
    auto view = library.showView(QSize(800, 1200));
    ASSERT_EQ(view->model()->rowCount(), refused.size() + 1);

    LogCapture log;
    for (int row = 1; row <= refused.size(); ++row) {
        const int64_t id = view->model()->video(row).id;
        view->play(id);
        view->reveal(id);
        view->contextMenuForRow(row)->playAction()->trigger();
    }
    EXPECT_TRUE(library.openedUrls.isEmpty()) << qPrintable(library.openedUrls.value(0).toString());
    EXPECT_TRUE(library.revealedUrls.isEmpty());
    for (const QString &name : refused) {
        EXPECT_EQ(log.count(QStringLiteral("⚠️ 不是视频文件，不予打开: ") + library.pathOf(name)), 3)
            << name.toStdString();
    }

    view->play(view->model()->video(0).id);
    view->reveal(view->model()->video(0).id);
    ASSERT_FALSE(library.openedUrls.isEmpty());
    EXPECT_EQ(library.openedUrls.first(), QUrl::fromLocalFile(library.pathOf("real.mp4")));
    EXPECT_EQ(library.revealedUrls, QList<QList<QUrl>>{{QUrl::fromLocalFile(library.pathOf("real.mp4"))}});
}

TEST(VideosListView, RowsWithDamagedTimesAreListedAndDrawn)
{
    VideoLibraryFixture library;
    library.insert({{"far.mp4", std::nullopt, 1e300}, {"fine.mp4", std::nullopt, 1000},
        {"before.mp4", std::nullopt, -1e18}, {"endless.mp4", std::nullopt, std::numeric_limits<double>::infinity()}});
    auto view = library.showView(QSize(800, 700));
    ASSERT_EQ(view->model()->rowCount(), 4);
    // Drawing every row formats every time; the sanitizer build sees any overflow.
    EXPECT_FALSE(view->grab().isNull());
    EXPECT_EQ(library.db().videos().size(), 4) << "nothing was dropped or rewritten";
}

TEST(VideosListView, DeleteRemovesTheRowAndTrashesTheVideoButKeepsItsThumbnail)
{
    VideoLibraryFixture library;
    const QString thumbnail = library.writePicture("doomed.png", Qt::blue);
    ASSERT_TRUE(QFile(library.pathOf("doomed.mp4")).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile(library.pathOf("kept.mp4")).open(QIODevice::WriteOnly));
    library.insert({{"kept.mp4", library.writePicture("kept.png", Qt::green), 1000}, {"doomed.mp4", thumbnail, 2000}});
    auto view = library.showView();
    ASSERT_TRUE(VideoLibraryFixture::waitForPictures(*view));
    const int64_t keptId = view->model()->video(1).id;
    ASSERT_TRUE(view->model()->thumbnail(keptId).has_value());

    QAccessibleInterface *doomedButton = VideoLibraryFixture::accessibleButton(*view, 0, VideoRowButtons::reveal);
    ASSERT_NE(doomedButton, nullptr);
    EXPECT_TRUE(doomedButton->isValid());

    LogCapture log;
    view->contextMenuForRow(0)->deleteAction()->trigger();
    MainLoop::drain();

    EXPECT_EQ(shownFileNames(*view), QStringList{"kept.mp4"});
    EXPECT_EQ(library.db().videos().size(), 1);
    EXPECT_FALSE(QFile::exists(library.pathOf("doomed.mp4")));
    EXPECT_TRUE(QFile::exists(trashed("doomed.mp4")));
    EXPECT_TRUE(QFile::exists(thumbnail));
    EXPECT_TRUE(QFile::exists(library.pathOf("kept.mp4")));
    EXPECT_TRUE(log.lines().isEmpty());
    // The other row kept its picture: the list was not rebuilt from scratch.
    EXPECT_TRUE(view->model()->thumbnail(keptId).has_value());
    // The buttons drawn on the row that moved up act for it, by mouse and by
    // screen reader; the deleted row's button is no longer offered.
    VideoLibraryFixture::click(*view, 0, VideoRowButtons::reveal);
    EXPECT_EQ(library.revealedUrls, QList<QList<QUrl>>{{QUrl::fromLocalFile(library.pathOf("kept.mp4"))}});
    EXPECT_FALSE(doomedButton->isValid());
    doomedButton->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(library.revealedUrls.size(), 1);
}
