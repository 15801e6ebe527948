// no_display.h: what a test does when it finds no display or no Direct3D device. By hand it
// is skipped; in CI (CI=true) it fails, so that a run there cannot pass without running it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

inline bool runningInCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Ends the test, or the fixture's set-up and with it the test.
#define SKIP_OR_FAIL_WITHOUT_DISPLAY(what)                                                         \
    do {                                                                                           \
        if (runningInCi())                                                                         \
            FAIL() << what << " (CI=true: the tests must run here)";                               \
        else                                                                                       \
            GTEST_SKIP() << what;                                                                  \
    } while (false)
