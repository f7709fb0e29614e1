#pragma once

#include "platform/media/MediaType.h"

#include <functional>

// Camera and microphone access. Linux has no permission prompt: access is
// granted when a device of the kind can be opened. Answers arrive once, on
// any thread.
class CapturePermissions {
public:
    virtual ~CapturePermissions() = default;
    virtual void requestAccess(MediaType mediaType, std::function<void(bool granted)> completion) = 0;
};
