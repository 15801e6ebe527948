// messages.cpp: the calling thread's message queue and the message functions: posting, peeking
// (which first reads the window system's events), dispatching, sending, the quit request and the
// default window procedure. Message times are timeGetTime's (platform/mmsystem/timer.cpp).
#include "window_internal.h"

#include <cstring>

namespace {

constexpr int queueCapacity = 1024;

// Posted messages in arrival order; the quit request is a flag beside them, as on Windows,
// so that it is returned only once no posted message is waiting.
struct MessageQueue {
    MSG messages[queueCapacity];
    int count = 0;
    bool quitRequested = false;
    int quitCode = 0;

    bool post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (count == queueCapacity)
            return false;
        messages[count++] = {window, message, wParam, lParam, timeGetTime(), {0, 0}};
        return true;
    }

    void remove(int index) {
        --count;
        memmove(messages + index, messages + index + 1, sizeof(MSG) * (count - index));
    }
};

thread_local MessageQueue queue;

bool matches(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
    if (window && message.hwnd != window)
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return message.message >= filterMin && message.message <= filterMax;
}

} // namespace

void postMessageOnce(HWND window, UINT message) {
    for (int i = 0; i < queue.count; ++i)
        if (queue.messages[i].hwnd == window && queue.messages[i].message == message)
            return;
    queue.post(window, message, 0, 0);
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    pumpWindowEvents();
    for (int i = 0; i < queue.count; ++i) {
        if (!matches(queue.messages[i], window, filterMin, filterMax))
            continue;
        if (msg)
            *msg = queue.messages[i];
        if (removeMsg & PM_REMOVE)
            queue.remove(i);
        return TRUE;
    }
    bool quitWanted =
        filterMin == 0 && filterMax == 0 ? true : WM_QUIT >= filterMin && WM_QUIT <= filterMax;
    if (queue.quitRequested && quitWanted) {
        if (msg)
            *msg = {nullptr, WM_QUIT, WPARAM(queue.quitCode), 0, timeGetTime(), {0, 0}};
        if (removeMsg & PM_REMOVE)
            queue.quitRequested = false;
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    // Key messages are not produced by this layer, so there is never a character to post.
    if (!msg)
        return FALSE;
    switch (msg->message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg)
        return 0;
    WNDPROC procedure = windowProcOf(msg->hwnd);
    return procedure ? procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = windowProcOf(window);
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A null window posts a message to the thread itself.
    if (window && !windowProcOf(window))
        return FALSE;
    return queue.post(window, message, wParam, lParam) ? TRUE : FALSE;
}

void WINAPI PostQuitMessage(int exitCode) {
    queue.quitRequested = true;
    queue.quitCode = exitCode;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE)
        DestroyWindow(window);
    return 0;
}
