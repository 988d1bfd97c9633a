// The one check every fuzz target makes: a broken promise stops the run
// with a crash the fuzzer keeps.
#ifndef ZEVRIK_FUZZ_REQUIRE_H
#define ZEVRIK_FUZZ_REQUIRE_H

#include <cstdlib>

inline void Require(bool bOk)
{
    if (!bOk) {
        std::abort();
    }
}

#endif
