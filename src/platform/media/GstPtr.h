#pragma once

#include <gst/gst.h>

#include <memory>
#include <utility>

// Owning pointer to a GStreamer object: unrefs on destruction. Adopts the
// reference it is given; floating references are sunk so ownership is plain.
template <typename T> class GstPtr {
public:
    GstPtr() = default;
    explicit GstPtr(T *object) : m_object(object)
    {
        if (m_object && g_object_is_floating(m_object)) {
            g_object_ref_sink(m_object);
        }
    }
    GstPtr(const GstPtr &other) : m_object(other.m_object)
    {
        if (m_object) {
            gst_object_ref(m_object);
        }
    }
    GstPtr(GstPtr &&other) noexcept : m_object(std::exchange(other.m_object, nullptr)) { }
    GstPtr &operator=(GstPtr other) noexcept
    {
        std::swap(m_object, other.m_object);
        return *this;
    }
    ~GstPtr()
    {
        if (m_object) {
            gst_object_unref(m_object);
        }
    }

    // Takes an extra reference to an object owned elsewhere.
    static GstPtr ref(T *object)
    {
        if (object) {
            gst_object_ref(object);
        }
        return GstPtr(object);
    }

    T *get() const { return m_object; }
    T *operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    T *release() { return std::exchange(m_object, nullptr); }

private:
    T *m_object = nullptr;
};

// Owning pointer to caps (a mini object, not a GObject).
class GstCapsPtr {
public:
    GstCapsPtr() = default;
    explicit GstCapsPtr(GstCaps *caps) : m_caps(caps) { }
    GstCapsPtr(const GstCapsPtr &other) : m_caps(other.m_caps ? gst_caps_ref(other.m_caps) : nullptr) { }
    GstCapsPtr(GstCapsPtr &&other) noexcept : m_caps(std::exchange(other.m_caps, nullptr)) { }
    GstCapsPtr &operator=(GstCapsPtr other) noexcept
    {
        std::swap(m_caps, other.m_caps);
        return *this;
    }
    ~GstCapsPtr()
    {
        if (m_caps) {
            gst_caps_unref(m_caps);
        }
    }

    GstCaps *get() const { return m_caps; }
    explicit operator bool() const { return m_caps != nullptr; }

private:
    GstCaps *m_caps = nullptr;
};

// Owning pointer to a string GLib allocated.
struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;
