// Window, message queue, message box and timer of the layer, checked through the
// Windows API calls alone. Needs a display (tools/with-display.sh provides one).
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <windows.h>

// The display server's own events are pushed through SDL under the layer only, not on Windows.
#ifndef _WIN32
#include "platform/backends/sdl/sdl_window.h"
#endif

#include <gtest/gtest.h>
#include "support/display_rule.h"

#include <string>
#include <thread>
#include <vector>

namespace {

struct Delivery {
    HWND window;
    UINT message;
    WPARAM wParam;
};

std::vector<Delivery> deliveries;
bool insideShowWindow = false;
bool activatedInsideShowWindow = false;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    deliveries.push_back({window, message, wParam});
    if (message == WM_ACTIVATE && wParam == WA_ACTIVE && insideShowWindow)
        activatedInsideShowWindow = true;
    if (message == WM_DESTROY)
        PostQuitMessage(7);
    return DefWindowProcA(window, message, wParam, lParam);
}

bool delivered(UINT message) {
    for (const Delivery& d : deliveries)
        if (d.message == message)
            return true;
    return false;
}

// Each test gets its own class and hidden 1024 x 768 window, and an empty queue.
class WindowTest : public testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = recordingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "WindowTestClass";
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        window = CreateWindowExA(0, "WindowTestClass", "Test", WS_OVERLAPPEDWINDOW, 20, 10, 1024,
                                 768, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!window)
            SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
        drain();
        deliveries.clear();
    }

    void TearDown() override {
        if (IsWindow(window))
            DestroyWindow(window);
        drain();
        UnregisterClassA("WindowTestClass", GetModuleHandleA(nullptr));
    }

    // Empties the queue. WM_PAINT comes back until the window is painted, so it is handed to
    // the default handling, which validates the window.
    static void drain() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PAINT)
                DispatchMessageA(&msg);
        }
    }
};

TEST_F(WindowTest, CreatesHiddenWindowWithWindowsFrame) {
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    RECT client;
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    // The frame's thickness is the system's own metric: Windows 10 sizes here, while Wine
    // draws a thinner frame, so there only its presence is checked.
#ifdef _WIN32
    EXPECT_LT(client.right, 1024);
    EXPECT_LT(client.bottom, 768);
#else
    EXPECT_EQ(client.right, 1008);
    EXPECT_EQ(client.bottom, 729);
#endif
    RECT outer;
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.left, 20);
    EXPECT_EQ(outer.top, 10);
    EXPECT_EQ(outer.right - outer.left, 1024);
    EXPECT_EQ(outer.bottom - outer.top, 768);
}

TEST_F(WindowTest, ClassRegistrationRules) {
    WNDCLASSEXA duplicate = {};
    duplicate.cbSize = sizeof(duplicate);
    duplicate.lpfnWndProc = recordingProc;
    duplicate.lpszClassName = "WindowTestClass";
    EXPECT_EQ(RegisterClassExA(&duplicate), 0);
    // A class with a live window stays registered.
    EXPECT_FALSE(UnregisterClassA("WindowTestClass", GetModuleHandleA(nullptr)));
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

LRESULT CALLBACK refusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    deliveries.push_back({window, message, wParam});
    return message == WM_CREATE ? -1 : DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(WindowTest, CreationFailsWhenTheProcedureRefusesIt) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = refusingProc;
    windowClass.lpszClassName = "RefusingClass";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    EXPECT_EQ(CreateWindowExA(0, "RefusingClass", "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    // WM_CREATE is refused and the window is destroyed. Windows also sends the non-client
    // messages around them, which the layer does not.
    size_t created = 0;
    while (created < deliveries.size() && deliveries[created].message != WM_CREATE)
        ++created;
    ASSERT_LT(created, deliveries.size());
    bool destroyedAfter = false;
    for (size_t i = created + 1; i < deliveries.size(); ++i)
        destroyedAfter = destroyedAfter || deliveries[i].message == WM_DESTROY;
        // Wine ends such a creation without sending WM_DESTROY.
#ifndef _WIN32
    EXPECT_TRUE(destroyedAfter);
#endif
    // No window of the class is left behind.
    EXPECT_TRUE(UnregisterClassA("RefusingClass", nullptr));
}

TEST_F(WindowTest, ShowWindowActivatesBeforeReturning) {
    insideShowWindow = true;
    activatedInsideShowWindow = false;
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT));
    insideShowWindow = false;
    EXPECT_TRUE(activatedInsideShowWindow);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetActiveWindow(), window);
    // Showing again reports the earlier visibility and sends no second activation.
    deliveries.clear();
    EXPECT_TRUE(ShowWindow(window, SW_SHOW));
    drain();
    EXPECT_FALSE(delivered(WM_ACTIVATE));
}

#ifndef _WIN32
TEST_F(WindowTest, FocusChangesReachTheProcedureFromPeek) {
    ShowWindow(window, SW_SHOW);
    // Let the display server's own focus change for the shown window arrive first.
    drain();
    SDL_Delay(100);
    drain();
    deliveries.clear();
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(sdlWindowOf(window));
    // A burst of focus changes between two peeks, ending with the focus lost.
    for (int i = 0; i < 41; ++i) {
        event.window.event = i % 2 == 0 ? SDL_WINDOWEVENT_FOCUS_LOST : SDL_WINDOWEVENT_FOCUS_GAINED;
        SDL_PushEvent(&event);
    }
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_TRUE(deliveries.empty()); // sent from the next peek, not from the event
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    ASSERT_FALSE(deliveries.empty());
    EXPECT_EQ(deliveries.back().message, UINT(WM_ACTIVATE));
    EXPECT_EQ(deliveries.back().wParam, WPARAM(WA_INACTIVE));
}
#endif

TEST_F(WindowTest, PeekRemovesOneMessagePerCallInOrder) {
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 11, 0));
    ASSERT_TRUE(PostMessageA(window, WM_USER + 2, 22, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 33, 0));
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, 11u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 2));
    EXPECT_TRUE(deliveries.empty()); // peeking dispatches nothing
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].wParam, 22u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, UINT(WM_USER + 3));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, SendMessageIsSynchronous) {
    PostMessageA(window, WM_USER + 1, 0, 0);
    SendMessageA(window, WM_USER + 2, 5, 0);
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].message, UINT(WM_USER + 2));
    EXPECT_EQ(deliveries[0].wParam, 5u);
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0));
}

TEST_F(WindowTest, QuitComesAfterPostedMessagesWithItsExitCode) {
    PostMessageA(window, WM_USER, 0, 0);
    PostQuitMessage(3);
    PostMessageA(window, WM_USER + 1, 0, 0);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    // Peeking without removal leaves the quit request in place.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, MessageQueueBelongsToItsThread) {
    PostQuitMessage(0);
    BOOL otherThreadSaw = TRUE;
    std::thread([&] {
        MSG msg;
        otherThreadSaw = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    }).join();
    EXPECT_FALSE(otherThreadSaw);
}

// The close button and the unattended message box (written to standard error) exist under the
// layer only, not on Windows.
#ifndef _WIN32
TEST_F(WindowTest, CloseRequestDestroysWindowThroughDefaultHandling) {
    ShowWindow(window, SW_SHOW);
    deliveries.clear();
    // The window manager's close button.
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(sdlWindowOf(window));
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    ASSERT_EQ(msg.message, UINT(WM_CLOSE));
    EXPECT_EQ(msg.hwnd, window);
    DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    ASSERT_GE(deliveries.size(), 3u);
    EXPECT_EQ(deliveries[0].message, UINT(WM_CLOSE));
    // Destroying the active window deactivates it first.
    EXPECT_EQ(deliveries[1].message, UINT(WM_ACTIVATE));
    EXPECT_EQ(deliveries[1].wParam, WPARAM(WA_INACTIVE));
    EXPECT_EQ(deliveries.back().message, UINT(WM_DESTROY));
    // The second close request was folded into the first: only the quit request follows.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(MessageBox, UnattendedAnswersOkAndWritesUtf8Text) {
    setenv("VARNEL_UNATTENDED", "1", 1);
    testing::internal::CaptureStderr();
    int answer = MessageBoxA(nullptr, "\xCE\xF8\xE8\xE1\xEA\xE0 Direct3DCreate", nullptr, MB_OK);
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(written, "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 Direct3DCreate\n");
}

TEST(MessageBox, WritesTheWholeCodePageAsOneLine) {
    setenv("VARNEL_UNATTENDED", "1", 1);
    testing::internal::CaptureStderr();
    // Upper-half letters outside the main alphabet, and a line break.
    MessageBoxA(nullptr, "\xA8\xB8\xB9\x88\r\n\xFF", "\xC7", MB_OK | MB_ICONERROR);
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, "\xD0\x81\xD1\x91\xE2\x84\x96\xE2\x82\xAC  \xD1\x8F\n");
}
#endif

TEST(Timer, CountsMilliseconds) {
    DWORD start = timeGetTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    DWORD elapsed = timeGetTime() - start;
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 1000u);
}

TEST(Resources, ProgramHasNone) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, "Stuk.wav", "WAVE");
    EXPECT_EQ(resource, nullptr);
    EXPECT_EQ(LoadResource(module, resource), nullptr);
    EXPECT_EQ(SizeofResource(module, resource), 0u);
}

} // namespace
