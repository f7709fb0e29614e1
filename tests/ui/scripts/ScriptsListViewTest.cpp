#include "ui/scripts/ScriptsListView.h"
#include "library/DatabaseManager.h"
#include "ui/common/DestructiveMenuStyle.h"
#include "ui/scripts/ScriptEditSheet.h"
#include "ui/scripts/ScriptListModel.h"
#include "ui/scripts/ScriptRow.h"
#include "ui/scripts/ScriptsEmptyState.h"
#include "ui/scripts/ScriptsHeaderBar.h"

#include "ScriptsTestSupport.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace ScriptsTestSupport;

namespace {
class ScriptsScreen : public testing::Test {
protected:
    ScriptsScreen() : db(folder.path()), view(&db, [this](const Script &script) { handedOver.append(script); })
    {
        view.resize(720, 600);
        view.show();
        MainLoop::drain();
    }

    void add(const QStringList &titles)
    {
        for (const QString &title : titles) {
            db.addScript(title, title + QStringLiteral(" 的内容"));
        }
        MainLoop::drain();
    }

    QStringList titles() const
    {
        QStringList result;
        for (const Script &script : view.model()->scripts()) {
            result << script.title;
        }
        return result;
    }

    void openMenu(int row)
    {
        const QPoint at = view.textRect(row).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.listView()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.listView()->viewport(), &event);
        ASSERT_TRUE(view.contextMenu()->isVisible());
    }

    void doubleClick(const QPoint &at) { QTest::mouseDClick(view.listView()->viewport(), Qt::LeftButton, {}, at); }

    int firstVisibleRow() const { return view.listView()->indexAt(QPoint(100, 0)).row(); }

    QTemporaryDir folder;
    DatabaseManager db;
    QList<Script> handedOver;
    ScriptsListView view;
};
} // namespace

TEST_F(ScriptsScreen, EmptyLibraryShowsTheEmptyStateAndTheAddButtonOpensTheAddSheet)
{
    EXPECT_TRUE(view.isShowingEmptyState());
    EXPECT_EQ(view.header()->heading()->text(), "提示词管理");
    EXPECT_EQ(view.header()->addButton()->text(), "添加提示词");
    EXPECT_FALSE(view.header()->addButton()->icon().isNull());
    EXPECT_EQ(view.emptyState()->message()->text(), "还没有提示词");
    EXPECT_EQ(view.emptyState()->hint()->text(), "点击「添加提示词」开始创作");
    ASSERT_NE(view.emptyState()->icon()->pixmap().isNull(), true);

    QTest::mouseClick(view.header()->addButton(), Qt::LeftButton);
    EXPECT_TRUE(view.showingAddSheet());
    ScriptEditSheet *sheet = view.presentedSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->mode().isEdit());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);

    sheet->cancelButton()->click();
    MainLoop::drain();
    EXPECT_FALSE(view.showingAddSheet());
    EXPECT_EQ(view.presentedSheet(), nullptr);
    EXPECT_TRUE(db.scripts().isEmpty());
}

TEST_F(ScriptsScreen, ANewScriptAppearsAtTheTop)
{
    add({"旧的一", "旧的二"});
    view.setShowingAddSheet(true);
    ScriptEditSheet *sheet = view.presentedSheet();
    ASSERT_NE(sheet, nullptr);
    type(sheet->titleField(), "新提示词");
    type(sheet->bodyEditor(), "新的台词");
    QTest::keyClick(sheet->titleField(), Qt::Key_Return);
    EXPECT_EQ(view.presentedSheet(), nullptr);
    EXPECT_FALSE(view.showingAddSheet());
    MainLoop::drain();

    EXPECT_FALSE(view.isShowingEmptyState());
    EXPECT_EQ(titles(), QStringList({"新提示词", "旧的二", "旧的一"}));
    EXPECT_EQ(view.model()->scripts().first().content, "新的台词");
}

TEST_F(ScriptsScreen, AnEditMovesTheScriptToTheTopAndKeepsItsIdentity)
{
    add({"第一", "第二", "第三"});
    const Script first = db.scripts().last();
    waitForClockPast(db.scripts().first().updatedAt);

    openMenu(2);
    view.editAction()->trigger();
    ASSERT_EQ(view.editingScript(), first);
    ScriptEditSheet *sheet = view.presentedSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->mode().isEdit());
    EXPECT_EQ(sheet->title(), "第一");
    sheet->titleField()->setText("第一（改）");
    sheet->saveButton()->click();
    EXPECT_FALSE(view.editingScript().has_value());
    MainLoop::drain();

    Script edited = view.model()->scripts().first();
    EXPECT_EQ(edited.id, first.id);
    EXPECT_EQ(edited.createdAt, first.createdAt);
    EXPECT_GT(edited.updatedAt, first.updatedAt);
    EXPECT_EQ(edited.title, "第一（改）");
    EXPECT_EQ(edited.content, first.content);

    // Saving without a change still stamps the script and moves it up.
    const Script second = view.model()->scripts().at(2);
    ASSERT_EQ(second.title, "第二");
    waitForClockPast(edited.updatedAt);
    openMenu(2);
    view.editAction()->trigger();
    view.presentedSheet()->save();
    MainLoop::drain();
    const Script resaved = view.model()->scripts().first();
    EXPECT_EQ(resaved.id, second.id);
    EXPECT_EQ(resaved.title, second.title);
    EXPECT_EQ(resaved.content, second.content);
    EXPECT_EQ(resaved.createdAt, second.createdAt);
    EXPECT_GT(resaved.updatedAt, second.updatedAt);
    EXPECT_EQ(titles(), QStringList({"第二", "第一（改）", "第三"}));
}

TEST_F(ScriptsScreen, DeletingTheOnlyScriptShowsTheEmptyState)
{
    add({"唯一"});
    EXPECT_FALSE(view.isShowingEmptyState());
    openMenu(0);
    view.deleteAction()->trigger();
    MainLoop::drain();
    EXPECT_TRUE(db.scripts().isEmpty());
    EXPECT_TRUE(view.isShowingEmptyState());
}

TEST_F(ScriptsScreen, HandOverByMenuDoubleClickAndReturnWorksTwiceWithTheSameScript)
{
    add({"录这个"});
    const Script script = db.scripts().first();
    for (int i = 0; i < 2; ++i) {
        openMenu(0);
        view.recordAction()->trigger();
    }
    doubleClick(view.textRect(0).center());
    doubleClick(view.textRect(0).center());
    ASSERT_EQ(handedOver.size(), 4);
    for (const Script &handed : handedOver) {
        EXPECT_EQ(handed, script);
    }
    EXPECT_FALSE(view.scriptToRecord().has_value());

    // Beside the text, in the row's empty part, a double click does nothing.
    const QRect row = view.listView()->visualRect(view.model()->index(0));
    doubleClick(QPoint(row.right() - 20, row.center().y()));
    EXPECT_EQ(handedOver.size(), 4);

    view.listView()->setFocus();
    view.listView()->setCurrentIndex(view.model()->index(0));
    QTest::keyClick(view.listView(), Qt::Key_Return);
    EXPECT_EQ(handedOver.size(), 5);
}

TEST_F(ScriptsScreen, WithoutARecordActionChoosingAScriptOnlySetsAndClearsIt)
{
    ScriptsListView silent(&db, nullptr);
    add({"无处可去"});
    silent.setScriptToRecord(db.scripts().first());
    EXPECT_FALSE(silent.scriptToRecord().has_value());
}

TEST_F(ScriptsScreen, TheContextMenuListsItsEntriesInOrderWithDeleteInRed)
{
    add({"菜单"});
    openMenu(0);
    QStringList texts;
    for (QAction *action : view.contextMenu()->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
    }
    EXPECT_EQ(texts, QStringList({"编辑", "录制此提示词", "|", "删除"}));
    EXPECT_TRUE(DestructiveMenuStyle::isDestructive(view.deleteAction()));
    EXPECT_FALSE(DestructiveMenuStyle::isDestructive(view.editAction()));

    const QImage menu = view.contextMenu()->grab().toImage();
    const auto hasRed = [&menu](const QRect &rect) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor c = menu.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 110 && c.blue() < 110) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(hasRed(view.contextMenu()->actionGeometry(view.deleteAction())));
    EXPECT_FALSE(hasRed(view.contextMenu()->actionGeometry(view.editAction())));
    view.contextMenu()->hide();

    // From the keyboard the menu opens on the focused row.
    add({"第二"});
    view.listView()->setCurrentIndex(view.model()->index(1));
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), view.listView()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.listView(), &key);
    EXPECT_TRUE(view.contextMenu()->isVisible());
    EXPECT_EQ(view.menuScript()->title, "菜单");
}

TEST_F(ScriptsScreen, AnHtmlLookingTitleIsDrawnLiterally)
{
    const QString title = QStringLiteral("<b>粗体</b><br>换行");
    db.addScript(title, QStringLiteral("<i>斜体</i>"));
    MainLoop::drain();
    EXPECT_EQ(ScriptRow::titleLine(title, view.rowDelegate()->titleFont(), 600), title);

    // Measure the ink of the title line: markup read as markup would leave
    // only the four Chinese glyphs.
    const QImage shot = view.listView()->viewport()->grab().toImage();
    const QRect text = view.textRect(0);
    const int titleBottom = text.top() + QFontMetrics(view.rowDelegate()->titleFont()).height();
    int left = shot.width();
    int right = -1;
    for (int y = text.top(); y < titleBottom; ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (qGray(shot.pixel(x, y)) < 100) {
                left = qMin(left, x);
                right = qMax(right, x);
            }
        }
    }
    const qreal expected = QFontMetricsF(view.rowDelegate()->titleFont()).horizontalAdvance(title);
    EXPECT_NEAR(right - left + 1, expected, 6);
}

TEST_F(ScriptsScreen, RowsAndControlsHaveAccessibleNames)
{
    add({"第一条", "<b>第二条</b>"});
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view.listView());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->childCount(), 2);
    EXPECT_EQ(list->child(0)->text(QAccessible::Name), "<b>第二条</b>");
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), "第一条");

    QAccessibleInterface *add = QAccessible::queryAccessibleInterface(view.header()->addButton());
    EXPECT_EQ(add->text(QAccessible::Name), "添加提示词");
    view.setShowingAddSheet(true);
    QAccessibleInterface *field = QAccessible::queryAccessibleInterface(view.presentedSheet()->titleField());
    EXPECT_EQ(field->text(QAccessible::Name), "标题");
}

TEST_F(ScriptsScreen, ARepublishKeepsTheRowsOnScreenWhereTheyWere)
{
    QStringList many;
    for (int i = 0; i < 60; ++i) {
        many << QStringLiteral("提示词 %1").arg(i);
    }
    add(many);
    QScrollBar *bar = view.listView()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2 + 17);
    const int top = firstVisibleRow();
    const Script anchor = *view.model()->script(top);
    const int anchorY = view.listView()->visualRect(view.model()->index(top)).top();

    const auto anchorTop
        = [&] { return view.listView()->visualRect(view.model()->index(view.model()->rowOf(anchor.id))).top(); };

    // An edit of a visible row sends it to the top, above the anchor.
    Script edited = *view.model()->script(top + 1);
    edited.title += QStringLiteral("（改）");
    db.updateScript(edited);
    MainLoop::drain();
    ASSERT_EQ(view.model()->scripts().first().id, edited.id);
    EXPECT_EQ(anchorTop(), anchorY);

    // A deletion far above.
    db.deleteScript(view.model()->scripts().at(3).id);
    MainLoop::drain();
    EXPECT_EQ(anchorTop(), anchorY);

    // The anchor itself goes: the next row on screen holds the place.
    const Script below = *view.model()->script(view.model()->rowOf(anchor.id) + 1);
    const int belowY = view.listView()->visualRect(view.model()->index(view.model()->rowOf(below.id))).top();
    db.deleteScript(anchor.id);
    db.addScript(QStringLiteral("新的"), QString());
    MainLoop::drain();
    EXPECT_EQ(view.listView()->visualRect(view.model()->index(view.model()->rowOf(below.id))).top(), belowY);

    // At the very top the list stays at the top, so a new script is seen.
    view.listView()->scrollToTop();
    add({"最新"});
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(firstVisibleRow(), 0);
    EXPECT_EQ(view.model()->scripts().first().title, "最新");

    // Whoever adds a script from further down is taken up to see it.
    bar->setValue(bar->maximum());
    view.setShowingAddSheet(true);
    view.presentedSheet()->titleField()->setText("从下面添加");
    view.presentedSheet()->save();
    MainLoop::drain();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(view.model()->scripts().first().title, "从下面添加");
}
