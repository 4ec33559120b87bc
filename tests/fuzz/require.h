// The fuzz targets' check: names the broken property before aborting, so a crash report says
// which one it was.
#pragma once

#include <cstdio>
#include <cstdlib>

#define require(condition)                                                                                   \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "property failed: %s\n", #condition);                                       \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
