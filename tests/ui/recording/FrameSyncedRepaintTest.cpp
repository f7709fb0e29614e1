#include "ui/recording/FrameSyncedRepaint.h"
#include "platform/media/PreviewSink.h"
#include "ui/recording/CameraPreviewView.h"
#include "ui/recording/PictureArea.h"
#include "ui/recording/PulsingDot.h"
#include "ui/recording/RecordingIndicator.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterView.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QVariantAnimation>
#include <QWidget>

#include <memory>

namespace {

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

struct FakeClock {
    double seconds = 100;
    FrameSyncedRepaint::Clock clock()
    {
        return [this] { return seconds; };
    }
};

} // namespace

TEST(FrameSyncedRepaint, WaitsForTheNextFrameOnlyWhileFramesArrive)
{
    FakeClock time;
    FrameSyncedRepaint sync(time.clock());
    QWidget widget;
    widget.resize(40, 40);
    widget.show();
    MainLoop::drain();
    PaintCounter counter(&widget);

    sync.requestRepaint(&widget);
    MainLoop::drain();
    EXPECT_EQ(counter.paints, 1) << "before any frame: at once";

    sync.frameArrived();
    time.seconds += 0.03;
    sync.requestRepaint(&widget);
    sync.requestRepaint(&widget);
    MainLoop::drain();
    EXPECT_EQ(counter.paints, 1) << "the next frame repaints it";
    EXPECT_EQ(sync.waitingCount(), 1) << "asked twice, waits once";
    sync.frameArrived();
    EXPECT_EQ(sync.waitingCount(), 0);

    time.seconds += FrameSyncedRepaint::liveGapMs / 1000.0 + 0.01;
    EXPECT_FALSE(sync.areFramesArriving());
    sync.requestRepaint(&widget);
    MainLoop::drain();
    EXPECT_EQ(counter.paints, 2) << "frames stopped: at once again";
}

TEST(FrameSyncedRepaint, AFrameThatNeverComesLeavesNothingUnpainted)
{
    FakeClock time;
    FrameSyncedRepaint sync(time.clock());
    QWidget widget;
    widget.resize(40, 40);
    widget.show();
    MainLoop::drain();
    PaintCounter counter(&widget);
    auto gone = std::make_unique<QWidget>();

    sync.frameArrived();
    sync.requestRepaint(&widget);
    sync.requestRepaint(gone.get());
    gone.reset(); // deleted while waiting
    EXPECT_TRUE(MainLoop::waitUntil([&] { return counter.paints > 0; }, 5000))
        << "repainted by itself when no frame follows";
    EXPECT_EQ(sync.waitingCount(), 0);
}

// A frame repaints the whole picture area; whatever changes over it between
// two frames is shown with the next one, not painted (with the picture
// beneath) on its own.
TEST(FrameSyncedRepaint, LayersOverThePictureRepaintWithItsFrames)
{
    RecordingViewState state;
    PictureArea area(nullptr, &state);
    auto *teleprompter = new TeleprompterView(&state);
    area.setTeleprompterView(teleprompter);
    QString script;
    for (int line = 0; line < 100; ++line) {
        script += QStringLiteral("第%1行：大家好，欢迎收看本期节目。\n").arg(line);
    }
    state.setTeleprompterText(script);
    state.setIsTeleprompterVisible(true);
    area.resize(800, 500);
    area.show();
    MainLoop::drain();
    CameraPreviewView *preview = area.preview();
    PaintCounter picture(preview);
    PaintCounter text(teleprompter);

    constexpr int frames = 8;
    for (int frame = 0; frame < frames; ++frame) {
        // The frame, as the preview schedules it...
        preview->update();
        Q_EMIT preview->frameRepaintScheduled();
        MainLoop::drain();
        // ... then a scroll step before the next one.
        state.setScrollOffset(state.scrollOffset() + 3);
        MainLoop::drain();
    }
    EXPECT_EQ(picture.paints, frames) << "one repaint of the picture per frame";
    EXPECT_EQ(text.paints, frames);
    EXPECT_GT(area.repaintSync()->waitingCount(), 0) << "the last step waits for the next frame";

    // The camera stops: the step is shown all the same, by the text's own repaint.
    ASSERT_TRUE(MainLoop::waitUntil([&] { return text.paints > frames; }, 5000));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !area.repaintSync()->areFramesArriving(); }, 5000));
    const int textPaints = text.paints;
    state.setScrollOffset(state.scrollOffset() + 3);
    MainLoop::drain();
    EXPECT_EQ(text.paints, textPaints + 1) << "without frames a step repaints at once";
}

TEST(FrameSyncedRepaint, PulsingDotPaintsItsOpacityWithoutAskingBetweenFrames)
{
    QWidget window;
    QPalette black = window.palette();
    black.setColor(QPalette::Window, Qt::black);
    window.setPalette(black);
    window.setAutoFillBackground(true);
    window.resize(40, 40);
    auto *dot = new QWidget(&window);
    dot->setGeometry(10, 10, 14, 14);
    QPalette red = dot->palette();
    red.setColor(QPalette::Window, Qt::red);
    dot->setPalette(red);
    dot->setAutoFillBackground(true);
    auto *pulse = new PulsingDot(dot);
    FakeClock time;
    FrameSyncedRepaint sync(time.clock());
    pulse->setRepaintSync(&sync);
    window.show();
    MainLoop::drain();

    sync.frameArrived();
    pulse->animation()->setCurrentTime(PulsingDot::halfPeriodMs);
    EXPECT_EQ(sync.waitingCount(), 1) << "the new opacity waits for the frame";
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_NEAR(qRed(shown.pixel(16, 16)), 0.4 * 255, 3) << "red at 0.4 over black";
    EXPECT_EQ(qRed(shown.pixel(2, 2)), 0) << "nothing outside the dot";

    pulse->animation()->setCurrentTime(0);
    const QImage full = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(full.pixel(16, 16), QColor(Qt::red).rgb());
}
