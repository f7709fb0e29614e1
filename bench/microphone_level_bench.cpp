// What the microphone meter costs: a live 48 kHz stereo sound branch as the
// capture pipeline builds it, without and with the level element, its bus
// readings handed to the main thread and the meter widget redrawn. CPU
// seconds per wall second of the whole process, each phase alone; the
// difference is the meter's share of one core.
#include "capture/MicrophoneLevelMonitor.h"
#include "platform/media/GstPtr.h"
#include "platform/media/MediaRuntime.h"
#include "platform/media/MicrophoneLevel.h"
#include "ui/recording/MicrophoneLevelMeter.h"

#include <QApplication>
#include <QElapsedTimer>

#include "ProcessCpu.h"

#include <cstdio>
#include <functional>

namespace {
constexpr int phaseMs = 10000;

struct Run {
    double cpuPerWall = 0;
    int readings = 0;
    int updates = 0;
};

using Reporter = std::function<void(const MicrophoneLevel &)>;

Run measure(bool withLevel, const Reporter &report, const int *updates)
{
    const char *description = withLevel
        ? "audiotestsrc is-live=true wave=pink-noise ! audioconvert ! audioresample ! "
          "audio/x-raw,rate=48000,channels=2 ! level interval=40000000 ! fakesink sync=false"
        : "audiotestsrc is-live=true wave=pink-noise ! audioconvert ! audioresample ! "
          "audio/x-raw,rate=48000,channels=2 ! fakesink sync=false";
    GError *error = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch(description, &error));
    g_clear_error(&error);
    Run run;
    if (!pipeline) {
        return run;
    }
    struct Context {
        const Reporter *report;
        int readings = 0;
    } context{&report};
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    // As the capture session does: read on the posting thread, handed on.
    gst_bus_set_sync_handler(
        bus.get(),
        [](GstBus *, GstMessage *message, gpointer data) {
            auto *context = static_cast<Context *>(data);
            if (const auto level = MicrophoneLevel::fromMessage(message)) {
                ++context->readings;
                (*context->report)(*level);
            }
            gst_message_unref(message);
            return GST_BUS_DROP;
        },
        &context, nullptr);
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    const int updatesBefore = *updates;
    const double cpuStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < phaseMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    run.cpuPerWall = (processCpuSeconds() - cpuStart) / (double(wall.nsecsElapsed()) / 1e9);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    run.readings = context.readings;
    run.updates = *updates - updatesBefore;
    return run;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    MediaRuntime::initialise(&argc, &argv);
    QApplication app(argc, argv);
    MicrophoneLevelMonitor monitor;
    MicrophoneLevelMeter meter(&monitor);
    meter.show();
    int updates = 0;
    QObject::connect(&monitor, &MicrophoneLevelMonitor::levelChanged, [&] { ++updates; });
    const Reporter report = monitor.reporter();

    const Run baseline = measure(false, report, &updates);
    const Run metered = measure(true, report, &updates);
    std::printf("sound branch alone:          %.4f CPU s per wall s\n", baseline.cpuPerWall);
    std::printf("with level, bus and meter:   %.4f CPU s per wall s (%d readings, %d meter updates in %.0f s)\n",
        metered.cpuPerWall, metered.readings, metered.updates, phaseMs / 1000.0);
    std::printf("meter's cost: %.2f %% of one core (ratio to the branch alone x%.2f)\n",
        100.0 * (metered.cpuPerWall - baseline.cpuPerWall), metered.cpuPerWall / baseline.cpuPerWall);
    return 0;
}
