// The video tab over a library of 10 000 videos: time from building the tab to
// its first painted rows, resident memory added over an empty library, and the
// longest event-loop stall while scrolling the whole list once with half the
// rows lacking a thumbnail file (their pictures come from the video itself).
// Baseline of the same run: a plain QListView over 10 000 file names. A second,
// paced scroll (30 wheel notches a second) lets frame extractions run in the
// background while the stall is measured.
#include "capture/CameraManager.h"
#include "library/DatabaseManager.h"
#include "platform/desktop/AppPaths.h"
#include "platform/media/MediaRuntime.h"
#include "ui/videos/VideoListModel.h"
#include "ui/videos/VideoRowsView.h"
#include "ui/videos/VideoThumbnailLoader.h"
#include "ui/videos/VideosListView.h"

#include <gst/gst.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {
constexpr int videoCount = 10000;
constexpr int storedAtTop = 40; // the rows on screen when the tab opens
const QSize windowSize(1000, 800);

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return 0;
}

void drain()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

// Counts the paints of a list's viewport.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *viewport) { viewport->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

bool writeClip(const QString &path)
{
    const QString description = QStringLiteral("videotestsrc num-buffers=30 pattern=ball"
                                               " ! video/x-raw,width=640,height=360,framerate=30/1"
                                               " ! x264enc speed-preset=ultrafast ! h264parse ! mp4mux"
                                               " ! filesink location=\"%1\"")
                                    .arg(path);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error) {
        g_error_free(error);
        return false;
    }
    GstBus *bus = gst_element_get_bus(pipeline);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstMessage *message
        = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message) {
        gst_message_unref(message);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    return ok;
}

// Row i: a stored thumbnail for the first rows and every even row after them;
// the others name a thumbnail that was never written and a real video.
void writeLibrary(const QString &databasePath, const QString &clip, const QStringList &pictures)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(databasePath).constData(), &db);
    sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr);
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO videos (file_name, file_path, thumbnail_path, created_at) VALUES (?, ?, ?, ?);",
        -1, &statement, nullptr);
    for (int i = 0; i < videoCount; ++i) {
        const bool stored = i < storedAtTop || i % 2 == 0;
        const QByteArray name = QStringLiteral("2025%1.mp4").arg(i, 6, 10, QLatin1Char('0')).toUtf8();
        const QByteArray thumbnail
            = (stored ? pictures.at(i % pictures.size()) : QStringLiteral("/nonexistent/%1.png").arg(i)).toUtf8();
        sqlite3_bind_text(statement, 1, name.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 2, clip.toUtf8().constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 3, thumbnail.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(statement, 4, 1.7e9 - i); // row i is the i-th newest
        sqlite3_step(statement);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double openUntilPainted(QWidget &screen, QWidget *viewport)
{
    PaintWatch watch(viewport);
    QElapsedTimer timer;
    timer.start();
    screen.resize(windowSize);
    screen.show();
    waitUntil([&] { return watch.paints > 0; }, 10000);
    return double(timer.nsecsElapsed()) / 1e6;
}

struct Scroll {
    double longestMs = 0;
    double p99Ms = 0;
    double medianMs = 0;
    double totalSeconds = 0;
    int steps = 0;
};

// One wheel notch at a time (three rows), top to bottom, each followed by
// one pass of the event loop: the time of each pass is what the user sees.
Scroll scrollThrough(QAbstractItemView &list, int rowHeight)
{
    QScrollBar *bar = list.verticalScrollBar();
    bar->setValue(0);
    drain();
    std::vector<double> passes;
    QElapsedTimer total;
    total.start();
    const int step = 3 * rowHeight;
    for (int value = step; value <= bar->maximum() + step - 1; value += step) {
        QElapsedTimer pass;
        pass.start();
        bar->setValue(std::min(value, bar->maximum()));
        QCoreApplication::processEvents();
        passes.push_back(double(pass.nsecsElapsed()) / 1e6);
    }
    Scroll result;
    result.totalSeconds = double(total.nsecsElapsed()) / 1e9;
    result.steps = int(passes.size());
    std::sort(passes.begin(), passes.end());
    if (!passes.empty()) {
        result.longestMs = passes.back();
        result.medianMs = passes[passes.size() / 2];
        result.p99Ms = passes[std::min(passes.size() - 1, passes.size() * 99 / 100)];
    }
    return result;
}

// A user's pace: one wheel notch every 33 ms for `steps` notches, the event
// loop running in between; a 5 ms timer measures the longest gap in it.
struct Stalls {
    double longestMs = 0;
    int over50Ms = 0;
};

Stalls pacedStalls(QAbstractItemView &list, int rowHeight, int steps)
{
    QScrollBar *bar = list.verticalScrollBar();
    QElapsedTimer sinceTick;
    Stalls stalls;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double gapMs = double(sinceTick.nsecsElapsed()) / 1e6 - 5.0;
        stalls.longestMs = std::max(stalls.longestMs, gapMs);
        stalls.over50Ms += gapMs > 50.0;
        sinceTick.restart();
    });
    sinceTick.start();
    tick.start();
    for (int i = 0; i < steps && bar->value() < bar->maximum(); ++i) {
        bar->setValue(std::min(bar->maximum(), bar->value() + 3 * rowHeight));
        QElapsedTimer window;
        window.start();
        while (window.elapsed() < 33) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    return stalls;
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/videos-bench-XXXXXX"));
    setenv("HOME", QFile::encodeName(home.path()).constData(), 1);
    setenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/share").constData(), 1);
    if (!getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    MediaRuntime::initialise(&argc, &argv);
    QApplication app(argc, argv);

    const QString clip = home.path() + "/clip.mp4";
    if (!writeClip(clip)) {
        std::fprintf(stderr, "cannot write the test clip\n");
        return 1;
    }
    QDir().mkpath(AppPaths::thumbnailsFolder());
    QStringList pictures;
    for (int i = 0; i < 20; ++i) {
        QImage picture(320, 180, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 18, 200, 220));
        QPainter(&picture).drawText(picture.rect(), Qt::AlignCenter, QString::number(i));
        pictures << AppPaths::thumbnailsFolder() + QStringLiteral("/%1.png").arg(i);
        picture.save(pictures.last(), "PNG");
    }

    // Baseline: a plain list of names, no pictures, no buttons.
    QStringList names;
    for (int i = 0; i < videoCount; ++i) {
        names << QStringLiteral("2025%1.mp4").arg(i, 6, 10, QLatin1Char('0'));
    }
    QStringListModel plainModel(names);
    QListView plain;
    plain.setModel(&plainModel);
    plain.setUniformItemSizes(true);
    const double plainOpenMs = openUntilPainted(plain, plain.viewport());
    const Scroll plainScroll = scrollThrough(plain, plain.sizeHintForRow(0));
    plain.verticalScrollBar()->setValue(0);
    const Stalls plainPaced = pacedStalls(plain, plain.sizeHintForRow(0), 300);
    plain.hide();

    // The empty library, so that fonts, styles and icons are already loaded.
    DatabaseManager empty(home.path() + "/empty/Veltroscope");
    drain();
    auto emptyView = std::make_unique<VideosListView>(&empty);
    openUntilPainted(*emptyView, emptyView->rows()->viewport());
    drain();
    emptyView.reset();
    // The decoders that frame extraction loads stay mapped for good; load
    // them before the baseline so that the figures are the list's own.
    const double beforeDecodersMegabytes = residentMegabytes();
    CameraManager::generateThumbnail(clip);
    const double emptyMegabytes = residentMegabytes();

    DatabaseManager library(AppPaths::dataFolder());
    writeLibrary(library.databasePath(), clip, pictures);
    QElapsedTimer loading;
    loading.start();
    library.loadVideos();
    drain();
    const double loadMs = double(loading.nsecsElapsed()) / 1e6;

    VideosListView view(&library);
    QElapsedTimer pictured;
    pictured.start();
    const double openMs = openUntilPainted(view, view.rows()->viewport());
    waitUntil([&] { return view.thumbnailLoader()->isIdle(); }, 60000);
    const double picturesMs = double(pictured.nsecsElapsed()) / 1e6;
    const double fullMegabytes = residentMegabytes();
    const qsizetype onScreen = view.rows()->shownIds().size();

    int framesMade = 0;
    QObject::connect(view.thumbnailLoader(), &VideoThumbnailLoader::thumbnailLoaded, &view,
        [&](int64_t id, const std::optional<QImage> &) {
            const int row = view.model()->rowOf(id);
            framesMade += row >= storedAtTop && row % 2 == 1;
        });
    const Scroll scroll = scrollThrough(*view.rows(), view.rows()->sizeHintForRow(0));
    waitUntil([&] { return view.thumbnailLoader()->isIdle(); }, 120000);
    const double afterScrollMegabytes = residentMegabytes();
    const int fastFrames = framesMade;
    view.rows()->verticalScrollBar()->setValue(0);
    drain();
    const int pacedSteps = 300;
    const Stalls paced = pacedStalls(*view.rows(), view.rows()->sizeHintForRow(0), pacedSteps);
    waitUntil([&] { return view.thumbnailLoader()->isIdle(); }, 120000);

    std::printf("videos in the library                 %d (rows on screen: %lld)\n", videoCount, qlonglong(onScreen));
    std::printf("library load (10 000 rows, published) %8.1f ms\n", loadMs);
    std::printf("tab built to first painted rows       %8.1f ms   (goal < 200; plain list %.1f ms, x%.2f)\n", openMs,
        plainOpenMs, openMs / plainOpenMs);
    std::printf("  ... to every visible picture        %8.1f ms\n", picturesMs);
    std::printf("resident memory over empty library    %8.1f MB   (goal < 100; empty %.1f MB, full %.1f MB)\n",
        fullMegabytes - emptyMegabytes, emptyMegabytes, fullMegabytes);
    std::printf("  ... after scrolling the whole list  %8.1f MB   (video decoders, loaded once before: %.1f MB)\n",
        afterScrollMegabytes - emptyMegabytes, emptyMegabytes - beforeDecodersMegabytes);
    std::printf("scroll, %d wheel steps in %.1f s: longest %.1f ms, p99 %.1f ms, median %.2f ms   (goal < 50)\n",
        scroll.steps, scroll.totalSeconds, scroll.longestMs, scroll.p99Ms, scroll.medianMs);
    std::printf("  plain list, %d steps: longest %.1f ms, p99 %.1f ms, median %.2f ms; longest x%.2f\n",
        plainScroll.steps, plainScroll.longestMs, plainScroll.p99Ms, plainScroll.medianMs,
        scroll.longestMs / std::max(0.001, plainScroll.longestMs));
    std::printf("frames extracted while scrolling      %d (rows without a thumbnail file: %d)\n", fastFrames,
        (videoCount - storedAtTop) / 2);
    std::printf("paced scroll, %d notches at 30/s: longest stall %.1f ms, %d stalls over 50 ms, %d frames "
                "extracted meanwhile   (goal < 50)\n",
        pacedSteps, paced.longestMs, paced.over50Ms, framesMade - fastFrames);
    std::printf("  plain list, same pace: longest stall %.1f ms, %d stalls over 50 ms\n", plainPaced.longestMs,
        plainPaced.over50Ms);
    return 0;
}
