#pragma once

#include "platform/media/GstPtr.h"

#include <gst/gst.h>

#include <initializer_list>
#include <vector>

// Building element chains, with one ownership rule everywhere: every element
// handed to addAndLink() belongs to the bin afterwards, whether or not the
// chain could be built, so dropping the bin frees them all.
class GstChain {
public:
    // A new element, or nullptr with a "❌" line naming the missing factory.
    static GstElement *make(const char *factory, const char *name = nullptr);

    // Adds the elements to `bin` in order and links each to the next. Null
    // entries (elements that could not be made) are skipped and make the
    // result false, as does a failed link. When `kept` is given it receives a
    // reference to every element added, in order.
    static bool addAndLink(
        GstBin *bin, std::initializer_list<GstElement *> chain, std::vector<GstPtr<GstElement>> *kept = nullptr);
};
