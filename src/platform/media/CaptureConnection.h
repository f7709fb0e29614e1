#pragma once

#include <atomic>
#include <functional>

// The link between an input of a session and an output. Enabled connections
// carry data; `isActive` says whether data actually flows now.
class CaptureConnection {
public:
    explicit CaptureConnection(std::function<bool()> flowing) : m_flowing(std::move(flowing)) { }

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isActive() const { return m_enabled && m_flowing(); }

private:
    std::atomic<bool> m_enabled = true;
    std::function<bool()> m_flowing;
};
