#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property ends the run with a message, so that libFuzzer keeps the input.
#define KOVI_FUZZ_CHECK(condition)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
