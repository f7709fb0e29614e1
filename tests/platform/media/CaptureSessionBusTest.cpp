// Messages on the capture pipeline's bus: nobody pops it, so whatever the bus
// handler drops must be freed there, or each one keeps its source alive.
#include "CaptureSessionTestSupport.h"
#include "platform/media/CaptureDeviceBackend.h"

#include "support/MainLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

// A test pattern whose source element the test can reach, to post from it.
class ReachableCamera : public CaptureDeviceBackend {
public:
    ReachableCamera()
        : CaptureDeviceBackend(QStringLiteral("Reachable"), QStringLiteral("test:reachable"), MediaType::video,
            GstCapsPtr(gst_caps_from_string("video/x-raw,width=[16,1920],height=[16,1080],framerate=[1/1,60/1]")))
    {
    }

    GstPtr<GstElement> source() const
    {
        std::lock_guard lock(m_mutex);
        return GstPtr<GstElement>::ref(m_source);
    }

protected:
    GstElement *createElement(QString *) const override
    {
        GstElement *element = gst_element_factory_make("videotestsrc", nullptr);
        g_object_set(element, "is-live", TRUE, nullptr);
        std::lock_guard lock(m_mutex);
        m_source = element;
        g_object_add_weak_pointer(G_OBJECT(element), reinterpret_cast<gpointer *>(&m_source));
        return element;
    }

private:
    mutable std::mutex m_mutex;
    mutable GstElement *m_source = nullptr;
};

struct FreedFlag {
    std::atomic<bool> freed = false;

    GstMessage *watch(GstMessage *message)
    {
        gst_mini_object_weak_ref(
            GST_MINI_OBJECT(message),
            [](gpointer data, GstMiniObject *) { static_cast<FreedFlag *>(data)->freed = true; }, this);
        return message;
    }
};

} // namespace

TEST(CaptureSessionBus, EveryMessageIsFreedOnceHandled)
{
    auto backend = std::make_shared<ReachableCamera>();
    RunningSession running(true, SessionPreset::p640x480, CaptureDevice(backend));
    ASSERT_TRUE(running.waitForPreviewFrames(3));
    const GstPtr<GstElement> source = backend->source();
    ASSERT_TRUE(source);

    // Dropped where they are posted: gone by the time the post returns.
    FreedFlag application;
    gst_element_post_message(source.get(),
        application.watch(gst_message_new_application(GST_OBJECT(source.get()), gst_structure_new_empty("test"))));
    EXPECT_TRUE(application.freed);

    FreedFlag element;
    gst_element_post_message(source.get(),
        element.watch(gst_message_new_element(GST_OBJECT(source.get()), gst_structure_new_empty("not-a-level"))));
    EXPECT_TRUE(element.freed);

    // Handed to the service thread first: gone once it has been dealt with.
    FreedFlag latency;
    gst_element_post_message(source.get(), latency.watch(gst_message_new_latency(GST_OBJECT(source.get()))));
    EXPECT_TRUE(MainLoop::waitUntil([&] { return latency.freed.load(); }, 5000));
}
