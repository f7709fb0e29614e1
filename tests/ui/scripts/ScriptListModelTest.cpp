#include "ui/scripts/ScriptListModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {
Script script(int64_t id, double updatedAt = 0, const QString &title = {})
{
    return Script{id, title.isEmpty() ? QStringLiteral("s%1").arg(id) : title, QStringLiteral("内容"), 0, updatedAt};
}

QList<int64_t> ids(const ScriptListModel &model)
{
    QList<int64_t> result;
    for (int row = 0; row < model.rowCount(); ++row) {
        result << model.index(row).data(ScriptListModel::IdRole).toLongLong();
    }
    return result;
}

class ScriptModel : public testing::Test {
protected:
    ScriptModel() : tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal) { }

    ScriptListModel model{nullptr};
    QAbstractItemModelTester tester;
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};
    QSignalSpy moves{&model, &QAbstractItemModel::rowsMoved};
};
} // namespace

TEST_F(ScriptModel, RepublishesAsSingleSteps)
{
    model.republish({script(3), script(2), script(1)});
    EXPECT_EQ(ids(model), QList<int64_t>({3, 2, 1}));

    // An edit of the oldest: one move, and the moved row keeps its index.
    QPersistentModelIndex oldest = model.index(2);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.republish({script(1, 9, "改过"), script(3), script(2)});
    EXPECT_EQ(ids(model), QList<int64_t>({1, 3, 2}));
    EXPECT_EQ(moves.size(), 1);
    EXPECT_EQ(oldest.row(), 0);
    EXPECT_EQ(oldest.data().toString(), "改过");
    EXPECT_EQ(changed.size(), 1);

    // Additions at the top and a deletion in the middle.
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.republish({script(5), script(4), script(1, 9, "改过"), script(2)});
    EXPECT_EQ(ids(model), QList<int64_t>({5, 4, 1, 2}));
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(removed.size(), 1);

    // The same list again changes nothing.
    QSignalSpy anything(&model, &QAbstractItemModel::layoutChanged);
    model.republish({script(5), script(4), script(1, 9, "改过"), script(2)});
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(resets.size(), 0);

    model.republish({});
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(ScriptModel, AShuffleOrRepeatedIdsFallBackToAReset)
{
    QList<Script> forward;
    QList<Script> backward;
    for (int id = 1; id <= 300; ++id) {
        forward.append(script(id));
        backward.prepend(script(id));
    }
    model.republish(forward);
    model.republish(backward);
    EXPECT_EQ(resets.size(), 1);
    EXPECT_EQ(ids(model).first(), 300);
    EXPECT_EQ(ids(model).last(), 1);

    // Only a damaged file repeats an id; the list still matches what was published.
    model.republish({script(7), script(7), script(8)});
    EXPECT_EQ(ids(model), QList<int64_t>({7, 7, 8}));
    // Rows left below the walk over the new list are not kept.
    model.republish({script(7), script(8)});
    EXPECT_EQ(ids(model), QList<int64_t>({7, 8}));
}

TEST_F(ScriptModel, RowsExposeTheirTitleToAccessibility)
{
    model.republish({script(1, 0, "<b>标题</b>")});
    EXPECT_EQ(model.index(0).data(Qt::AccessibleTextRole).toString(), "<b>标题</b>");
    EXPECT_EQ(model.index(0).data(Qt::DisplayRole).toString(), "<b>标题</b>");
    EXPECT_EQ(model.index(0).data(ScriptListModel::ScriptRole).value<Script>(), script(1, 0, "<b>标题</b>"));
}
