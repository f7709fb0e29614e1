// Teleprompter smoothness: the cost of one scroll tick (the offset update
// plus the repaint of the box over a painted picture, at the default window
// size) for scripts of 1k, 10k and 100k characters, as mean and worst and as a
// ratio against the 1k script of the same run; how many ticks of the real
// 0.03 s timer land within 5 ms of their time over 30 s; and how long a
// 100k-character script takes to load into the box and show.
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterScroller.h"
#include "ui/recording/TeleprompterView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

// The default window less the tab bar and the control panel.
constexpr int pictureWidth = 1100;
constexpr int pictureHeight = 610;
constexpr int ticksPerScript = 1500;
constexpr double timerRunSeconds = 30;

// Stands in for the camera preview: a full frame painted under the box.
class Picture : public QWidget {
public:
    Picture() : m_frame(pictureWidth, pictureHeight, QImage::Format_RGB32)
    {
        QPainter painter(&m_frame);
        QLinearGradient gradient(0, 0, pictureWidth, pictureHeight);
        gradient.setColorAt(0, QColor(40, 70, 90));
        gradient.setColorAt(1, QColor(160, 120, 90));
        painter.fillRect(m_frame.rect(), gradient);
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(pictureWidth, pictureHeight);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.drawImage(event->rect(), m_frame, event->rect());
    }

private:
    QImage m_frame;
};

// CPU time of this thread: what a tick costs without the time the scheduler
// gives to the other processes of a busy machine.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

QString script(int characters)
{
    const QString sentence
        = QStringLiteral("大家好，今天我们来聊一聊怎样在家里录一段像样的口播视频，灯光和收音都很重要。");
    QString text;
    text.reserve(characters + 64);
    int paragraph = 0;
    while (text.size() < characters) {
        text += sentence;
        if (++paragraph % 4 == 0) {
            text += QStringLiteral("\r\n");
        }
    }
    text.truncate(characters);
    return text;
}

struct Stats {
    double meanMs = 0;
    double worstMs = 0;
    double p99Ms = 0;
};

Stats stats(std::vector<double> samples)
{
    Stats result;
    if (samples.empty()) {
        return result;
    }
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (double sample : samples) {
        sum += sample;
    }
    result.meanMs = sum / double(samples.size());
    result.worstMs = samples.back();
    result.p99Ms = samples[size_t(double(samples.size() - 1) * 0.99)];
    return result;
}

struct Screen {
    Screen()
    {
        view = new TeleprompterView(&state, &picture);
        view->setGeometry(20, 16, pictureWidth - 40, int(pictureHeight * 0.55));
        state.setIsTeleprompterVisible(true);
        picture.show();
        // Nothing paints until the window is exposed.
        QElapsedTimer wait;
        wait.start();
        while (!(picture.windowHandle() && picture.windowHandle()->isExposed()) && wait.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QCoreApplication::processEvents();
    }
    RecordingViewState state;
    Picture picture;
    TeleprompterView *view = nullptr;
};

struct TickCost {
    Stats wall;
    Stats cpu;
};

TickCost tickCost(Screen &screen, int characters)
{
    screen.state.scroller()->resetScrolling();
    screen.state.setTeleprompterText(script(characters));
    screen.view->repaint();
    std::vector<double> wall;
    std::vector<double> cpu;
    wall.reserve(ticksPerScript);
    cpu.reserve(ticksPerScript);
    QElapsedTimer clock;
    for (int i = 0; i < ticksPerScript; ++i) {
        const double cpuStart = threadCpuMs();
        clock.start();
        screen.state.scroller()->tick();
        screen.view->repaint();
        wall.push_back(double(clock.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - cpuStart);
    }
    return {stats(wall), stats(cpu)};
}

void measureTicks(Screen &screen)
{
    std::printf("one tick (offset update + repaint of a %dx%d box over the picture), %d ticks each:\n",
        screen.view->width(), screen.view->height(), ticksPerScript);
    double baseline = 0;
    for (int characters : {1000, 10000, 100000}) {
        const TickCost tick = tickCost(screen, characters);
        if (baseline == 0) {
            baseline = tick.cpu.meanMs;
        }
        std::printf("  %6d characters: wall mean %.3f / p99 %.3f / worst %.3f ms; thread CPU mean %.3f / p99 %.3f / "
                    "worst %.3f ms; CPU mean / 1k CPU mean %.2f; %zu lines laid out, %d drawn per paint\n",
            characters, tick.wall.meanMs, tick.wall.p99Ms, tick.wall.worstMs, tick.cpu.meanMs, tick.cpu.p99Ms,
            tick.cpu.worstMs, tick.cpu.meanMs / baseline, screen.view->textLayout().lines().size(),
            screen.view->lastDrawnLineCount());
    }
}

void measureLoad(Screen &screen)
{
    std::vector<double> samples;
    for (int run = 0; run < 5; ++run) {
        QString text = script(100000);
        text[run] = QChar(0x4E00 + run); // a new text each run
        QElapsedTimer clock;
        clock.start();
        screen.state.setTeleprompterText(text);
        screen.view->repaint();
        samples.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const Stats load = stats(samples);
    std::printf("load of a 100000-character script (text set, laid out, first paint), 5 runs: mean %.1f ms, "
                "worst %.1f ms\n",
        load.meanMs, load.worstMs);
}

void measureTimer(Screen &screen, QApplication &app)
{
    screen.state.scroller()->resetScrolling();
    screen.state.setTeleprompterText(script(100000));
    screen.view->repaint();
    std::vector<qint64> tickNs;
    tickNs.reserve(int(timerRunSeconds * 40));
    QElapsedTimer clock;
    QObject::connect(
        &screen.state, &RecordingViewState::scrollOffsetChanged, &app, [&] { tickNs.push_back(clock.nsecsElapsed()); });
    clock.start();
    screen.state.scroller()->startScrolling();
    QTimer::singleShot(int(timerRunSeconds * 1000), &app, &QApplication::quit);
    app.exec();
    screen.state.scroller()->resetScrolling();

    const double intervalNs = TeleprompterScroller::tickIntervalMs * 1e6;
    const double toleranceNs = 5e6;
    // A tick is due one interval after the previous one was due; a tick more
    // than an interval late makes the timer count on from when it fired.
    size_t onTime = 0;
    double due = intervalNs;
    std::vector<double> errorsMs;
    for (size_t k = 0; k < tickNs.size(); ++k) {
        const double fired = double(tickNs[k]);
        const double error = std::abs(fired - due);
        onTime += error <= toleranceNs ? 1 : 0;
        errorsMs.push_back(error / 1e6);
        due += intervalNs;
        if (due < fired) {
            due = fired + intervalNs;
        }
    }
    const double expected = timerRunSeconds * 1000 / TeleprompterScroller::tickIntervalMs;
    const Stats error = stats(errorsMs);
    std::printf("real timer over %.0f s with the box painting: %zu ticks of %.0f expected, %.2f %% within 5 ms of "
                "their time; error mean %.3f ms, p99 %.3f ms, worst %.3f ms\n",
        timerRunSeconds, tickNs.size(), expected, 100.0 * double(onTime) / double(std::max<size_t>(tickNs.size(), 1)),
        error.meanMs, error.p99Ms, error.worstMs);
}

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    Screen screen;
    measureLoad(screen);
    measureTicks(screen);
    measureTimer(screen, app);
    return 0;
}
