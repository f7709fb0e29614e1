#include "platform/media/GstChain.h"

#include "platform/Log.h"

#include <QString>

GstElement *GstChain::make(const char *factory, const char *name)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (!element) {
        Log::line(QStringLiteral("❌ 缺少 GStreamer 组件: ") + QString::fromUtf8(factory));
    }
    return element;
}

bool GstChain::addAndLink(GstBin *bin, std::initializer_list<GstElement *> chain, std::vector<GstPtr<GstElement>> *kept)
{
    bool complete = true;
    GstElement *previous = nullptr;
    for (GstElement *element : chain) {
        if (!element) {
            complete = false;
            previous = nullptr;
            continue;
        }
        if (!gst_bin_add(bin, element)) {
            // Already in another bin, or a name clash: the bin did not take it.
            complete = false;
            previous = nullptr;
            continue;
        }
        if (kept) {
            kept->push_back(GstPtr<GstElement>::ref(element));
        }
        if (previous && complete && !gst_element_link(previous, element)) {
            complete = false;
        }
        previous = element;
    }
    return complete;
}
