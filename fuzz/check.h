#pragma once

#include <cstdio>
#include <cstdlib>

// Fuzz builds define NDEBUG with optimisation, so a broken invariant stops the run through this
// instead of assert: libFuzzer then keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition);                     \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
