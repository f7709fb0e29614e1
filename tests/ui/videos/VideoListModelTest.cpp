#include "ui/videos/VideoListModel.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {
QList<VideoRecord> videos(std::initializer_list<int64_t> ids)
{
    QList<VideoRecord> list;
    for (int64_t id : ids) {
        list.append(VideoRecord{id, QString("%1.mp4").arg(id), QString("/v/%1.mp4").arg(id), std::nullopt, double(id)});
    }
    return list;
}

QImage picture()
{
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::blue);
    return image;
}
} // namespace

TEST(VideoListModel, RepublishedListsBecomeRemovalsAndInsertionsThatKeepPictures)
{
    VideoListModel model;
    model.setVideos(videos({6, 5, 4, 3, 2, 1}));
    for (int64_t id : {6, 4, 1}) {
        model.setThumbnail(id, picture());
    }
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    // Three deletions, two of them next to each other, and a new recording on top.
    model.setVideos(videos({7, 6, 4, 1}));
    EXPECT_EQ(reset.count(), 0);
    ASSERT_EQ(removed.count(), 2);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 3); // ids 3 and 2, rows 3..4
    EXPECT_EQ(removed.at(0).at(2).toInt(), 4);
    EXPECT_EQ(removed.at(1).at(1).toInt(), 1); // id 5, row 1
    EXPECT_EQ(removed.at(1).at(2).toInt(), 1);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 0);
    EXPECT_EQ(inserted.at(0).at(2).toInt(), 0);
    EXPECT_EQ(model.videos(), videos({7, 6, 4, 1}));
    EXPECT_EQ(model.rowOf(4), 2);
    for (int64_t id : {6, 4, 1}) {
        EXPECT_TRUE(model.thumbnail(id).has_value()) << id;
    }

    // A picture arriving for a row that has gone is dropped.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setThumbnail(5, picture());
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(model.thumbnail(5).has_value());

    // A different order is told as moves, and every lookup by id follows them
    // at each step, before the view hears of it.
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QList<int> rowOfSevenAtEachStep;
    QObject::connect(&model, &QAbstractItemModel::rowsMoved, &model, [&] { rowOfSevenAtEachStep << model.rowOf(7); });
    model.setVideos(videos({1, 4, 6, 7}));
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(moved.count(), 3);
    EXPECT_EQ(rowOfSevenAtEachStep, (QList<int>{1, 2, 3}));
    EXPECT_EQ(model.videos(), videos({1, 4, 6, 7}));
    EXPECT_TRUE(model.thumbnail(6).has_value());
}
