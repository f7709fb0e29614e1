#pragma once

#include <gst/gst.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// The clock of one take. The take starts with the first picture that reaches
// it, whatever the camera's timing: that picture is time 0, sound is put on
// the same timeline, and anything older is dropped before it reaches the
// encoders. So the file's first sample is the encoder's first output, a key
// frame with its parameter sets, and picture and sound start together.
//
// Sound is held back until the first picture arrives, so none of it is lost
// while the camera is still starting.
class CaptureTimeline : public std::enable_shared_from_this<CaptureTimeline> {
public:
    static std::shared_ptr<CaptureTimeline> create();

    // The pad through which pictures enter the take.
    void attachVideo(GstPad *entry);
    // Sound waits at `gate` (the source pad of a queue) until the first
    // picture, and is put on the timeline at `entry`, behind the queue. Both
    // pads belong to the take's bin, which outlives every call here.
    void attachAudio(GstPad *gate, GstPad *entry);

    // Called once, on the streaming thread, when the first picture enters the
    // take; set it before the take's pads are linked.
    void setStartHandler(std::function<void()> handler) { m_onStart = std::move(handler); }

    // Lets held sound go on without a picture: the take is closing. Sound that
    // comes before any picture is then dropped.
    void release();

    bool hasStarted() const { return m_start.load() != GST_CLOCK_TIME_NONE; }
    // Running time of the first picture, the take's time 0; none before it.
    GstClockTime startRunningTime() const { return m_start.load(); }

private:
    // The stream as it arrives: its segment turns timestamps into running time.
    struct Stream {
        GstSegment upstream;
        bool hasSegment = false;
        bool isVideo = false;
    };

    struct ProbeData {
        std::shared_ptr<CaptureTimeline> timeline;
        Stream *stream = nullptr;
    };

    CaptureTimeline() = default;
    gulong addProbe(GstPad *pad, GstPadProbeType type, GstPadProbeCallback callback, Stream *stream);
    static GstPadProbeReturn onStream(GstPad *pad, GstPadProbeInfo *info, gpointer data);
    static GstPadProbeReturn onGate(GstPad *pad, GstPadProbeInfo *info, gpointer data);
    GstPadProbeReturn retime(Stream &stream, GstPadProbeInfo *info);
    // Moves a buffer onto the take's timeline; false when it is to be dropped.
    bool retimeBuffer(Stream &stream, GstBuffer **buffer);

    std::atomic<GstClockTime> m_start = GST_CLOCK_TIME_NONE; // running time of the first picture
    std::function<void()> m_onStart;
    Stream m_video;
    Stream m_audio;
    std::mutex m_gateMutex;
    GstPad *m_gatePad = nullptr;
    gulong m_gateProbe = 0;
};
