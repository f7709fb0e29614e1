#include "TeleprompterControlsFixture.h"

#include "ui/recording/TeleprompterScroller.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <sqlite3.h>

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
