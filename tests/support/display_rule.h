// display_rule.h: what a test does when something it needs cannot be had here (a display, a
// Direct3D device, a Windows build, Wine). Run by hand it is skipped and says why; in CI
// (CI=true) it fails and says why, so that a run there cannot pass without running it. This
// is the only way a test of this project skips.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

inline bool runningInCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Ends the test, or the fixture's set-up and with it the test.
#define SKIP_OR_FAIL_WITHOUT(what)                                                                 \
    do {                                                                                           \
        if (runningInCi())                                                                         \
            FAIL() << what << " (CI=true: the tests must run here)";                               \
        else                                                                                       \
            GTEST_SKIP() << what;                                                                  \
    } while (false)

#define SKIP_OR_FAIL_WITHOUT_DISPLAY(what) SKIP_OR_FAIL_WITHOUT(what)
