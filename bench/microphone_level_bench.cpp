// What the microphone meter costs, in CPU seconds per second of sound, so the
// figure does not depend on what else the machine runs:
// - the level element: a minute of 48 kHz stereo sound pushed through the
//   sound branch as fast as it goes, without and with the element, its bus
//   readings parsed as the capture session does; the difference in process
//   CPU time is the element's;
// - the meter: a minute's worth of readings (one each 40 ms) handed to the
//   monitor and drawn by the widget, as the main thread does while recording.
// The sum is the meter's share of one core.
#include "capture/MicrophoneLevelMonitor.h"
#include "platform/media/GstPtr.h"
#include "platform/media/MediaRuntime.h"
#include "platform/media/MicrophoneLevel.h"
#include "ui/recording/MicrophoneLevelMeter.h"

#include <QApplication>

#include "ProcessCpu.h"

#include <cstdio>

namespace {
constexpr int soundSeconds = 60;
constexpr int samplesPerBuffer = 480; // 10 ms, as the microphone delivers
constexpr int readingsPerSecond = 25; // the level element's 40 ms interval

// CPU seconds to push `soundSeconds` of sound through the branch.
double branchCpu(bool withLevel, int *readings)
{
    const QByteArray description = QByteArray("audiotestsrc wave=sine num-buffers=")
        + QByteArray::number(soundSeconds * 48000 / samplesPerBuffer)
        + " samplesperbuffer=" + QByteArray::number(samplesPerBuffer)
        + " ! audio/x-raw,format=S16LE,rate=48000,channels=2 ! audioconvert ! "
        + (withLevel ? "level interval=40000000 post-messages=true ! " : "") + "fakesink sync=false";
    GError *error = nullptr;
    GstPtr<GstElement> pipeline(gst_parse_launch(description.constData(), &error));
    g_clear_error(&error);
    if (!pipeline) {
        return 0;
    }
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    const double start = processCpuSeconds();
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    for (;;) {
        GstMessage *message = gst_bus_timed_pop(bus.get(), 10 * GST_SECOND);
        if (!message) {
            break;
        }
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (MicrophoneLevel::fromMessage(message)) {
            ++*readings;
        }
        gst_message_unref(message);
        if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
            break;
        }
    }
    const double used = processCpuSeconds() - start;
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return used;
}

// CPU seconds for the monitor and the meter to take and draw a minute of readings.
double meterCpu(MicrophoneLevelMonitor &monitor, MicrophoneLevelMeter &meter, int *updates)
{
    const auto report = monitor.reporter();
    const double start = processCpuSeconds();
    for (int i = 0; i < soundSeconds * readingsPerSecond; ++i) {
        // A voice: loudness moving between readings, now and then near full scale.
        MicrophoneLevel level;
        level.rmsDb = -30.0 + 20.0 * double(i % 17) / 17.0;
        level.peakDb = level.rmsDb + 6.0;
        report(level);
        QCoreApplication::processEvents();
        meter.repaint();
        ++*updates;
    }
    return processCpuSeconds() - start;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    MediaRuntime::initialise(&argc, &argv);
    QApplication app(argc, argv);
    MicrophoneLevelMonitor monitor;
    MicrophoneLevelMeter meter(&monitor);
    meter.resize(80, 12);
    meter.show();

    int readingsWithout = 0;
    int readings = 0;
    branchCpu(true, &readings); // warms the plugins up
    readings = 0;
    const double without = branchCpu(false, &readingsWithout);
    const double with = branchCpu(true, &readings);
    int updates = 0;
    const double drawing = meterCpu(monitor, meter, &updates);

    const double element = (with - without) / soundSeconds;
    const double widget = drawing / soundSeconds;
    std::printf("sound branch, %d s of sound: %.3f CPU s without the level element, %.3f s with it (%d readings)\n",
        soundSeconds, without, with, readings);
    std::printf("monitor and meter, %d readings drawn: %.3f CPU s\n", updates, drawing);
    std::printf("meter's cost: %.2f %% of one core (element %.2f %%, drawing %.2f %%)\n",
        100.0 * (element + widget), 100.0 * element, 100.0 * widget);
    return 0;
}
