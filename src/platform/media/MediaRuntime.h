#pragma once

// GStreamer must be initialised once per process before any pipeline, device
// monitor or element is made.
class MediaRuntime {
public:
    static void initialise(int *argc, char ***argv);
};
