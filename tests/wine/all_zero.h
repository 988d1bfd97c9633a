// Records that start up "empty" must be zero to the last byte.
#pragma once

#include <windows.h>

#include <cstddef>

inline bool AllZero(const void *pv, std::size_t cb)
{
    const BYTE *pby = static_cast<const BYTE *>(pv);
    for (std::size_t i = 0; i < cb; ++i) {
        if (pby[i] != 0) {
            return false;
        }
    }
    return true;
}
