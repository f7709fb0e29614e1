#pragma once

#include "platform/media/CapturePermissions.h"

// Answers decided in advance, delivered from a worker thread like real ones.
class FixedCapturePermissions : public CapturePermissions {
public:
    FixedCapturePermissions(bool cameraGranted, bool microphoneGranted);
    void requestAccess(MediaType mediaType, std::function<void(bool granted)> completion) override;

private:
    bool m_cameraGranted;
    bool m_microphoneGranted;
};
