#include "platform/media/SystemDeviceProvider.h"

#include "platform/media/CaptureDeviceBackend.h"
#include "platform/media/CaptureDeviceFormats.h"
#include "platform/media/GstPtr.h"

#include <QSet>

#include <algorithm>
#include <map>
#include <mutex>

namespace {

QString stringProperty(GstDevice *device, const char *key)
{
    GstStructure *properties = gst_device_get_properties(device);
    if (!properties) {
        return {};
    }
    QString value;
    if (const gchar *text = gst_structure_get_string(properties, key)) {
        value = QString::fromUtf8(text);
    } else if (gst_structure_has_field(properties, key)) {
        GCharPtr serialized(gst_value_serialize(gst_structure_get_value(properties, key)));
        value = QString::fromUtf8(serialized.get());
    }
    gst_structure_free(properties);
    return value;
}

bool booleanProperty(GstDevice *device, const char *key)
{
    GstStructure *properties = gst_device_get_properties(device);
    gboolean value = FALSE;
    if (properties) {
        gst_structure_get_boolean(properties, key, &value);
        gst_structure_free(properties);
    }
    return value;
}

// One identity per device that survives restarts, with the API in front so a
// camera seen through V4L2 and through PipeWire gets two distinct ids.
QString uniqueIDOf(GstDevice *device)
{
    for (const char *key : {"node.name", "device.path", "udev-id", "device.bus_path", "object.path"}) {
        const QString value = stringProperty(device, key);
        if (!value.isEmpty()) {
            const QString api = stringProperty(device, "device.api");
            return (api.isEmpty() ? QStringLiteral("device") : api) + QLatin1Char(':') + value;
        }
    }
    GCharPtr name(gst_device_get_display_name(device));
    return QStringLiteral("device:") + QString::fromUtf8(name.get());
}

bool hasClass(GstDevice *device, const char *deviceClass)
{
    return gst_device_has_classes(device, deviceClass);
}

} // namespace

// One monitor, started once and kept running: starting and stopping the
// PulseAudio provider over and over races with its own thread and crashes.
struct SystemDeviceProvider::Monitor {
    std::mutex mutex;
    GstDeviceMonitor *monitor = nullptr; // never stopped; lives as long as the process
    bool started = false;
    std::mutex handlersMutex; // apart: a handler may list the devices
    std::map<int, ChangeHandler> handlers;
    int nextHandler = 1;

    void startLocked()
    {
        if (monitor) {
            return;
        }
        monitor = gst_device_monitor_new();
        gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
        gst_device_monitor_add_filter(monitor, "Audio/Source", nullptr);
        // Nobody pops this bus: the handler answers each message and drops it,
        // so the messages of a long run do not pile up.
        GstPtr<GstBus> bus(gst_device_monitor_get_bus(monitor));
        gst_bus_set_sync_handler(bus.get(), &Monitor::onBusMessage, this, nullptr);
        started = gst_device_monitor_start(monitor);
    }

    static GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer data)
    {
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_DEVICE_ADDED:
        case GST_MESSAGE_DEVICE_REMOVED:
        case GST_MESSAGE_DEVICE_CHANGED:
            static_cast<Monitor *>(data)->notify();
            break;
        default:
            break;
        }
        gst_message_unref(message); // a dropped message is the handler's to free
        return GST_BUS_DROP;
    }

    void notify()
    {
        std::map<int, ChangeHandler> copy;
        {
            std::lock_guard lock(handlersMutex);
            copy = handlers;
        }
        for (const auto &[id, handler] : copy) {
            handler();
        }
    }

    QList<GstPtr<GstDevice>> devices(const char *deviceClass)
    {
        std::lock_guard lock(mutex);
        startLocked();
        QList<GstPtr<GstDevice>> found;
        if (!started) {
            return found;
        }
        GList *list = gst_device_monitor_get_devices(monitor);
        for (GList *item = list; item; item = item->next) {
            GstPtr<GstDevice> device(GST_DEVICE(item->data));
            if (hasClass(device.get(), deviceClass)) {
                found.append(device);
            }
        }
        g_list_free(list);
        return found;
    }
};

SystemDeviceProvider::SystemDeviceProvider() : m_monitor(std::make_unique<Monitor>())
{
}

std::shared_ptr<SystemDeviceProvider> SystemDeviceProvider::shared()
{
    static const auto provider = std::make_shared<SystemDeviceProvider>();
    return provider;
}

SystemDeviceProvider::~SystemDeviceProvider()
{
    (void)m_monitor.release(); // see Monitor
}

QList<CaptureDevice> SystemDeviceProvider::videoDevices()
{
    const QList<GstPtr<GstDevice>> found = m_monitor->devices("Video/Source");

    // With PipeWire running, a V4L2 camera shows up twice; keep PipeWire's copy,
    // which other programs can share.
    QSet<QString> pipewirePaths;
    for (const auto &device : found) {
        const QString path = stringProperty(device.get(), "api.v4l2.path");
        if (!path.isEmpty()) {
            pipewirePaths.insert(path);
        }
    }

    QList<CaptureDevice> devices;
    for (const auto &device : found) {
        if (stringProperty(device.get(), "device.api") == QLatin1String("v4l2")
            && pipewirePaths.contains(stringProperty(device.get(), "device.path"))) {
            continue;
        }
        // Infrared cameras offer only grey pictures: no use for a recording.
        if (!CaptureDeviceFormats::offersColour(GstCapsPtr(gst_device_get_caps(device.get())).get())) {
            continue;
        }
        devices.append(CaptureDevice(
            std::make_shared<MonitoredDeviceBackend>(device.get(), uniqueIDOf(device.get()), MediaType::video)));
    }
    // The monitor's order depends on which provider answers first; sort for a stable list.
    std::stable_sort(devices.begin(), devices.end(), [](const CaptureDevice &a, const CaptureDevice &b) {
        return std::pair(a.localizedName(), a.uniqueID()) < std::pair(b.localizedName(), b.uniqueID());
    });
    return devices;
}

int SystemDeviceProvider::addChangeHandler(ChangeHandler handler)
{
    {
        std::lock_guard lock(m_monitor->mutex);
        m_monitor->startLocked();
    }
    std::lock_guard lock(m_monitor->handlersMutex);
    const int id = m_monitor->nextHandler++;
    m_monitor->handlers.emplace(id, std::move(handler));
    return id;
}

void SystemDeviceProvider::removeChangeHandler(int id)
{
    std::lock_guard lock(m_monitor->handlersMutex);
    m_monitor->handlers.erase(id);
}

std::optional<CaptureDevice> SystemDeviceProvider::defaultAudioDevice()
{
    const QList<GstPtr<GstDevice>> found = m_monitor->devices("Audio/Source");
    GstDevice *chosen = nullptr;
    for (const auto &device : found) {
        // Monitors of outputs are not microphones.
        if (stringProperty(device.get(), "device.class") == QLatin1String("monitor")) {
            continue;
        }
        if (booleanProperty(device.get(), "is-default")) {
            chosen = device.get();
            break;
        }
        if (!chosen) {
            chosen = device.get();
        }
    }
    if (!chosen) {
        return std::nullopt;
    }
    return CaptureDevice(std::make_shared<MonitoredDeviceBackend>(chosen, uniqueIDOf(chosen), MediaType::audio));
}
