#pragma once

#include <dirent.h>

// Open file descriptors of this process, for leak checks in tests and benchmarks.
inline int OpenDescriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}
