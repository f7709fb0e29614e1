#include "ui/scripts/ScriptEditSheet.h"

#include "ScriptsTestSupport.h"
#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace ScriptsTestSupport;

namespace {
struct Saved {
    QString title;
    QString content;
};

class EditSheet : public testing::Test {
protected:
    std::unique_ptr<ScriptEditSheet> open(const ScriptEditMode &mode)
    {
        auto sheet = std::make_unique<ScriptEditSheet>(mode, [this](const QString &title, const QString &content) {
            saves.append(Saved{title, content});
        });
        sheet->show();
        MainLoop::drain();
        return sheet;
    }

    QList<Saved> saves;
};
} // namespace

TEST_F(EditSheet, AddModeStartsEmptyWithSaveDisabledAndTheFixedLayout)
{
    auto sheet = open(ScriptEditMode::add());
    EXPECT_EQ(sheet->heading()->text(), "添加提示词");
    EXPECT_TRUE(sheet->title().isEmpty());
    EXPECT_TRUE(sheet->content().isEmpty());
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    EXPECT_TRUE(sheet->saveButton()->isDefault());
    EXPECT_EQ(sheet->titleField()->placeholderText(), "标题");
    EXPECT_EQ(sheet->titleField()->accessibleName(), "标题");

    EXPECT_EQ(sheet->size(), QSize(500, 380));
    EXPECT_GE(sheet->bodyEditor()->height(), 200);
    EXPECT_EQ(sheet->bodyEditor()->font().pixelSize(), 14);
    // Everything fits inside the sheet, in order, without overlapping.
    const int fieldTop = sheet->titleField()->geometry().top();
    EXPECT_GT(fieldTop, sheet->heading()->geometry().bottom());
    EXPECT_GT(sheet->bodyEditor()->geometry().top(), sheet->titleField()->geometry().bottom());
    EXPECT_GT(sheet->saveButton()->geometry().top(), sheet->bodyEditor()->geometry().bottom());
    EXPECT_LE(sheet->saveButton()->geometry().bottom(), 380 - 24);
    EXPECT_LT(sheet->cancelButton()->x(), sheet->saveButton()->x());
}

TEST_F(EditSheet, EditModeStartsWithTheScriptsTexts)
{
    auto sheet = open(ScriptEditMode::edit(Script{7, "原标题", "原内容\n第二行", 1, 2}));
    EXPECT_EQ(sheet->heading()->text(), "编辑提示词");
    EXPECT_EQ(sheet->title(), "原标题");
    EXPECT_EQ(sheet->content(), "原内容\n第二行");
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
}

TEST_F(EditSheet, BlankTitlesAreRefusedAndALineBreakIsNotBlank)
{
    const QString ideographicSpace = QString(QChar(0x3000));
    for (const QString &blank : {QString(), QStringLiteral("   "), QStringLiteral("\t \t"), ideographicSpace,
             QStringLiteral(" \u00a0\u2003") + ideographicSpace}) {
        EXPECT_TRUE(ScriptEditSheet::isBlank(blank)) << blank.toStdString();
    }
    for (const QString &text : {QStringLiteral("\n"), QStringLiteral(" \r\n "), QStringLiteral("\u2028"),
             QStringLiteral("  a  "), QStringLiteral("\u200b")}) {
        EXPECT_FALSE(ScriptEditSheet::isBlank(text)) << text.toStdString();
    }

    auto sheet = open(ScriptEditMode::add());
    sheet->titleField()->setText(QStringLiteral(" \t") + ideographicSpace);
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    QTest::keyClick(sheet->titleField(), Qt::Key_Return);
    sheet->save();
    EXPECT_TRUE(saves.isEmpty());
    EXPECT_TRUE(sheet->isVisible());

    type(sheet->titleField(), QStringLiteral("x"));
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
    sheet->titleField()->setText(QStringLiteral("\n"));
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
}

TEST_F(EditSheet, ReturnSavesExactlyWhatWasTypedAndCloses)
{
    auto sheet = open(ScriptEditMode::add());
    type(sheet->titleField(), QStringLiteral("  前后有空格  "));
    // Return belongs to the save button even while cancel has the focus.
    sheet->cancelButton()->setFocus();
    QTest::keyClick(sheet->cancelButton(), Qt::Key_Return);
    ASSERT_EQ(saves.size(), 1);
    EXPECT_EQ(saves[0].title, "  前后有空格  ");
    EXPECT_EQ(saves[0].content, "");
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(EditSheet, ReturnInTheBodyStartsANewLine)
{
    auto sheet = open(ScriptEditMode::add());
    type(sheet->titleField(), QStringLiteral("标题"));
    sheet->bodyEditor()->setFocus();
    type(sheet->bodyEditor(), QStringLiteral("第一行"));
    QTest::keyClick(sheet->bodyEditor(), Qt::Key_Return);
    type(sheet->bodyEditor(), QStringLiteral("第二行\u00a0结束"));
    EXPECT_TRUE(saves.isEmpty());
    sheet->saveButton()->click();
    ASSERT_EQ(saves.size(), 1);
    EXPECT_EQ(saves[0].content, QStringLiteral("第一行\n第二行\u00a0结束"));
}

TEST_F(EditSheet, EscapeClosesWithoutSaving)
{
    auto sheet = open(ScriptEditMode::edit(Script{3, "标题", "内容", 1, 1}));
    type(sheet->titleField(), QStringLiteral("改了"));
    QTest::keyClick(sheet->titleField(), Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), QDialog::Rejected);

    auto second = open(ScriptEditMode::add());
    type(second->titleField(), QStringLiteral("标题"));
    second->bodyEditor()->setFocus();
    QTest::keyClick(second->bodyEditor(), Qt::Key_Escape);
    EXPECT_FALSE(second->isVisible());
    EXPECT_TRUE(saves.isEmpty());
}

TEST_F(EditSheet, AnUntouchedBodyAndALongTitleGoBackUnchanged)
{
    // The editor would turn CR LF into LF; the field would cut at 32767 characters.
    const QString content = QStringLiteral("第一行\r\n第二行\u00a0\u2028第三行\r");
    const QString title = QString(40000, u'题');
    auto sheet = open(ScriptEditMode::edit(Script{5, title, content, 1, 1}));
    EXPECT_EQ(sheet->title(), title);
    sheet->save();
    ASSERT_EQ(saves.size(), 1);
    EXPECT_EQ(saves[0].title, title);
    EXPECT_EQ(saves[0].content, content);
}
