// web_without_page_test.cpp: the web backend where there is no page with a canvas (here, Node):
// the window system says so and makes no window, message boxes are not shown, the mouse cannot
// be held, the graphics surface offers nothing, and what needs no page still works: listeners
// up to their capacity with removed ones' places freed, the clock, nothing held.
#include "graphics_surface.h"
#include "window_system.h"

#include <gtest/gtest.h>

#include <cstring>

// The window functions' side (platform/win32/window.cpp), which these tests leave out: no
// handle names a window.
windowsystem::NativeWindow windowsystem::nativeWindowOf(HWND) {
    return 0;
}

namespace {

// Distinct listeners; no event reaches them without a page.
template <int index> void listener(const windowsystem::Event&) {}

} // namespace

TEST(WebWithoutPage, NoWindowsNoBoxesNoHeldMouse) {
    EXPECT_FALSE(windowsystem::available());
    EXPECT_EQ(windowsystem::createWindow("Varnel", 0, 0, true, 1008, 729), 0u);
    EXPECT_FALSE(
        windowsystem::showMessageBox(0, "Error", "text", windowsystem::MessageIcon::error));
    EXPECT_FALSE(windowsystem::setRelativeMouse(true));
    int width = -1;
    int height = -1;
    windowsystem::clientSize(1, width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    // Asking again gives the same answer.
    EXPECT_FALSE(windowsystem::available());
}

TEST(WebWithoutPage, TheSurfaceOffersNothing) {
    EXPECT_FALSE(surface::loadLibrary());
    surface::Context* context = reinterpret_cast<surface::Context*>(1);
    surface::ContextInfo info;
    EXPECT_EQ(surface::createContext(nullptr, context, info), surface::ContextResult::noWindow);
    EXPECT_EQ(context, nullptr);
}

TEST(WebWithoutPage, ListenersUpToFourAndTheirPlacesFreed) {
    using windowsystem::addListener;
    using windowsystem::removeListener;
    EXPECT_TRUE(addListener(listener<0>));
    EXPECT_TRUE(addListener(listener<1>));
    EXPECT_TRUE(addListener(listener<2>));
    EXPECT_TRUE(addListener(listener<3>));
    EXPECT_FALSE(addListener(listener<4>));
    removeListener(listener<1>);
    EXPECT_TRUE(addListener(listener<4>));
    removeListener(listener<4>);
    removeListener(listener<2>);
    removeListener(listener<0>);
    removeListener(listener<3>);
    // Removing one that is not there changes nothing.
    removeListener(listener<3>);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(addListener(listener<0>));
    EXPECT_FALSE(addListener(listener<0>));
    for (int i = 0; i < 4; ++i)
        removeListener(listener<0>);
}

TEST(WebWithoutPage, NothingHeldAndTheClockRuns) {
    bool held[256];
    memset(held, 1, sizeof held);
    windowsystem::heldKeys(held);
    for (bool key : held)
        EXPECT_FALSE(key);
    EXPECT_EQ(windowsystem::heldButtons(), 0u);
    const uint64_t start = windowsystem::milliseconds();
    uint64_t now = start;
    while (now - start < 5) {
        const uint64_t next = windowsystem::milliseconds();
        ASSERT_GE(next, now);
        now = next;
    }
}
