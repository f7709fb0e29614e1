#pragma once

#include <sys/resource.h>

// CPU seconds the whole process has used, user and system: the benches divide
// a phase's share by its wall time.
inline double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
