#include "VideoLibraryFixture.h"

#include "StallMonitor.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QPainter>
#include <QScrollBar>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool isRed(QRgb color)
{
    return qRed(color) > 180 && qGreen(color) < 90 && qBlue(color) < 90;
}

bool isBlue(QRgb color)
{
    return qBlue(color) > 180 && qRed(color) < 90 && qGreen(color) < 90;
}

QRgb centreOfBox(VideosListView &view, int row)
{
    return view.grab().toImage().pixel(VideoLibraryFixture::thumbnailBoxIn(view, row).center());
}

QStringList filesUnder(const QString &folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        files << it.next();
    }
    return files;
}
} // namespace

TEST(VideoThumbnails, StoredPictureFirstThenAFrameOfTheVideoThenThePlaceholder)
{
    VideoLibraryFixture library;
    ASSERT_TRUE(library.writeVideo("stored.mp4", "red"));
    for (const char *name : {"no-path.mp4", "file-gone.mp4", "unreadable.mp4"}) {
        ASSERT_TRUE(QFile::copy(library.pathOf("stored.mp4"), library.pathOf(name)));
    }
    const QString garbage = library.writePicture("unreadable.png", Qt::white);
    QFile(garbage).open(QIODevice::WriteOnly | QIODevice::Truncate); // an empty "PNG"
    library.insert({
        {"stored.mp4", library.writePicture("stored.png", Qt::blue), 5000},
        {"no-path.mp4", std::nullopt, 4000},
        {"file-gone.mp4", library.pathOf("never-written.png"), 3000},
        {"unreadable.mp4", garbage, 2000},
        {"all-gone.mp4", library.pathOf("never-written.png"), 1000},
    });
    const QList<VideoRecord> before = library.db().videos();
    const QStringList filesBefore = filesUnder(QFileInfo(library.db().databasePath()).path());

    auto view = library.showView(QSize(800, 700));
    ASSERT_EQ(view->rows()->shownIds().size(), 5);
    ASSERT_TRUE(VideoLibraryFixture::waitForPictures(*view));

    EXPECT_TRUE(isBlue(centreOfBox(*view, 0))) << "the stored thumbnail wins over the video's frame";
    for (int row : {1, 2, 3}) {
        EXPECT_TRUE(isRed(centreOfBox(*view, row))) << "row " << row << " shows a frame of its video";
    }
    const VideoRecord allGone = view->model()->video(4);
    EXPECT_FALSE(view->model()->thumbnail(allGone.id).has_value());
    EXPECT_FALSE(isRed(centreOfBox(*view, 4)));

    // The frames live only on screen: the library and its folder are untouched.
    EXPECT_EQ(library.db().videos(), before);
    EXPECT_EQ(filesUnder(QFileInfo(library.db().databasePath()).path()), filesBefore);
}

TEST(VideoThumbnails, PictureFillsTheBoxAndIsCutToRoundedCorners)
{
    // Wider than the box: fills its height, the sides are cut off.
    QImage wide(400, 100, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    QPainter(&wide).fillRect(0, 0, 100, 100, Qt::red); // only the cut-off left edge is red
    const QImage box = VideoThumbnailLoader::fillBox(wide, QSize(120, 68), 2.0, 6.0);
    ASSERT_EQ(box.size(), QSize(240, 136));
    EXPECT_EQ(box.devicePixelRatio(), 2.0);
    for (QPoint inside : {QPoint(120, 2), QPoint(120, 133), QPoint(2, 68), QPoint(237, 68)}) {
        EXPECT_TRUE(isBlue(box.pixel(inside))) << inside.x() << "," << inside.y();
        EXPECT_EQ(qAlpha(box.pixel(inside)), 255);
    }
    EXPECT_EQ(qAlpha(box.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(box.pixel(239, 135)), 0);
}

TEST(VideoThumbnails, OneBitAndPalettedPicturesAreDrawnInTheirColours)
{
    VideoLibraryFixture library;
    // As another tool may write them: a 1-bit PNG whose two colours are red
    // and blue, and an 8-bit paletted one.
    QImage oneBit(320, 180, QImage::Format_Mono);
    oneBit.setColorTable({qRgb(230, 20, 20), qRgb(20, 20, 230)});
    oneBit.fill(1);
    const QString oneBitPath = library.folder() + "/one-bit.png";
    ASSERT_TRUE(oneBit.save(oneBitPath, "PNG"));
    ASSERT_EQ(QImage(oneBitPath).depth(), 1) << "the stored file is really 1-bit";
    QImage paletted(320, 180, QImage::Format_Indexed8);
    paletted.setColorTable({qRgb(20, 20, 230), qRgb(230, 20, 20)});
    paletted.fill(1);
    const QString palettedPath = library.folder() + "/paletted.png";
    ASSERT_TRUE(paletted.save(palettedPath, "PNG"));

    library.insert({{"one-bit.mp4", oneBitPath, 2000}, {"paletted.mp4", palettedPath, 1000}});
    auto view = library.showView(QSize(800, 400));
    ASSERT_TRUE(VideoLibraryFixture::waitForPictures(*view));
    EXPECT_TRUE(isBlue(centreOfBox(*view, 0))) << std::hex << centreOfBox(*view, 0);
    EXPECT_TRUE(isRed(centreOfBox(*view, 1))) << std::hex << centreOfBox(*view, 1);

    // The same straight from the box maker, whatever the source format.
    const QList<std::pair<QImage, bool>> sources
        = {{oneBit, true}, {oneBit.convertToFormat(QImage::Format_MonoLSB), true}, {paletted, false}};
    for (const auto &[source, blue] : sources) {
        const QImage box = VideoThumbnailLoader::fillBox(source, QSize(120, 68), 1.0, 6.0);
        const QRgb centre = box.pixel(60, 34);
        EXPECT_TRUE(blue ? isBlue(centre) : isRed(centre)) << source.format() << " " << std::hex << centre;
        EXPECT_EQ(qAlpha(centre), 255);
    }
}

TEST(VideoThumbnails, ABrokenVideoNeverStallsTheWindowAndEndsOnThePlaceholder)
{
    VideoLibraryFixture library;
    // A video "file" that is a pipe: reading it waits until the test writes,
    // the way a slow or broken file keeps the frame extraction waiting.
    const QString path = library.pathOf("broken.mp4");
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const int writer = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    auto view = library.showView();

    // Watched from the moment the row arrives: a window that extracted the
    // frame on its UI thread would stop turning right here.
    StallMonitor monitor;
    library.insert({{"broken.mp4", std::nullopt, 1000}});
    MainLoop::spin(2500);
    EXPECT_FALSE(view->thumbnailLoader()->isIdle()) << "the extraction is still waiting for the file";
    EXPECT_LT(monitor.longestMs(), 1500);

    // The file turns out to be garbage: the extraction fails, the placeholder stays.
    const QByteArray junk(64 * 1024, '\x5a');
    EXPECT_EQ(::write(writer, junk.constData(), size_t(junk.size())), junk.size());
    ::close(writer);
    ASSERT_TRUE(VideoLibraryFixture::waitForPictures(*view));
    EXPECT_FALSE(view->model()->thumbnail(view->model()->video(0).id).has_value());
    EXPECT_LT(monitor.longestMs(), 1500);
}

TEST(VideoThumbnails, OnlyRowsOnScreenGetPicturesAndButtonsActForTheRowUnderThem)
{
    VideoLibraryFixture library;
    const QString picture = library.writePicture("shared.png", Qt::blue);
    QList<VideoLibraryFixture::Row> rows;
    for (int i = 0; i < 500; ++i) {
        rows.append({QString("v%1.mp4").arg(i, 3, 10, QChar('0')), picture, 1000.0 - i});
    }
    ASSERT_TRUE(library.writeVideo("v499.mp4", "red")); // the one played below
    library.insert(rows);
    auto view = library.showView(QSize(800, 400));
    ASSERT_TRUE(VideoLibraryFixture::waitForPictures(*view));

    const auto pictured = [&] {
        QList<int> rowsWithPictures;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            if (view->model()->thumbnail(view->model()->video(row).id)) {
                rowsWithPictures << row;
            }
        }
        return rowsWithPictures;
    };
    const qsizetype onScreen = view->rows()->shownIds().size();
    ASSERT_GT(onScreen, 2);
    ASSERT_LT(onScreen, 10);
    EXPECT_EQ(pictured().size(), onScreen);

    view->rows()->verticalScrollBar()->setValue(view->rows()->verticalScrollBar()->maximum());
    MainLoop::drain();
    ASSERT_TRUE(VideoLibraryFixture::waitForPictures(*view));
    EXPECT_TRUE(pictured().contains(499));
    EXPECT_FALSE(pictured().contains(250)) << "rows skipped over are never loaded";
    // The row's buttons are painted where the row is now, and a click there
    // acts for that row.
    VideoLibraryFixture::click(*view, 499, VideoRowButtons::play);
    EXPECT_EQ(library.openedUrls, QList<QUrl>{QUrl::fromLocalFile(library.pathOf("v499.mp4"))});
    // Scrolling builds no widgets in the rows.
    EXPECT_TRUE(view->rows()->viewport()->findChildren<QWidget *>().isEmpty());
}
