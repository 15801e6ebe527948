// window.cpp: window classes and top-level windows on the window system's native windows
// (window_system.h), activation, and the window system's events (close requests, focus).
// A window is created hidden with a native window of the client size; the size given at
// creation is the outer size, the client area being smaller by a fixed frame.
// Activation follows Windows: showing a window activates it and sends WM_ACTIVATE before
// ShowWindow returns; later focus changes are noted when the window system reports them and
// sent to the procedures from the next PeekMessageA (messages.cpp).
#include "codepage.h"
#include "window_internal.h"
#include "window_system.h"

#include <cstring>
#include <string>
#include <strings.h>

namespace {

// The frame that Windows would draw around the client area.
constexpr int frameLeft = 8;
constexpr int frameRight = 8;
constexpr int frameTop = 31;
constexpr int frameBottom = 8;
constexpr int defaultWidth = 640;
constexpr int defaultHeight = 480;

constexpr int classCapacity = 16;
constexpr int windowCapacity = 16;
constexpr int sentCapacity = 32;
constexpr ATOM firstAtom = 0xC000;

struct WindowClass {
    bool used = false;
    char name[256] = {};
    WNDCLASSEXA record = {};
    int windowCount = 0;
};

struct Window {
    uintptr_t id = 0; // 0: free slot
    int classIndex = -1;
    WNDPROC procedure = nullptr;
    windowsystem::NativeWindow native = 0;
    int x = 0; // outer position
    int y = 0;
    bool visible = false;
};

// A message to send to a procedure from the next pump.
struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct WindowSystem {
    WindowClass classes[classCapacity];
    Window windows[windowCapacity];
    uintptr_t nextId = 0x10010;
    HWND activeWindow = nullptr;
    SentMessage sent[sentCapacity];
    int sentCount = 0;
    bool listening = false;
};

WindowSystem windowSystem;

HWND handleOf(const Window& window) {
    return reinterpret_cast<HWND>(window.id);
}

Window* findWindow(HWND handle) {
    uintptr_t id = reinterpret_cast<uintptr_t>(handle);
    if (id == 0)
        return nullptr;
    for (Window& window : windowSystem.windows)
        if (window.id == id)
            return &window;
    return nullptr;
}

int findClass(LPCSTR name) {
    if (!name)
        return -1;
    if (IS_INTRESOURCE(name)) {
        int index = static_cast<int>(reinterpret_cast<uintptr_t>(name)) - firstAtom;
        if (index >= 0 && index < classCapacity && windowSystem.classes[index].used)
            return index;
        return -1;
    }
    for (int i = 0; i < classCapacity; ++i)
        if (windowSystem.classes[i].used && strcasecmp(windowSystem.classes[i].name, name) == 0)
            return i;
    return -1;
}

void removeSent(int index) {
    --windowSystem.sentCount;
    memmove(windowSystem.sent + index, windowSystem.sent + index + 1,
            sizeof(SentMessage) * (windowSystem.sentCount - index));
}

void queueSent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // When full, the oldest message of the same kind for the window is superseded by the new
    // one, so the procedure still learns the latest activation state.
    if (windowSystem.sentCount == sentCapacity) {
        int oldest = 0;
        for (int i = windowSystem.sentCount - 1; i >= 0; --i)
            if (windowSystem.sent[i].window == window && windowSystem.sent[i].message == message)
                oldest = i;
        removeSent(oldest);
    }
    windowSystem.sent[windowSystem.sentCount++] = {window, message, wParam, lParam};
}

// Makes `window` (or nothing) the active window. With `sendNow` the WM_ACTIVATE messages go
// to the procedures at once, otherwise at the next pump.
void activate(HWND window, bool sendNow) {
    HWND previous = windowSystem.activeWindow;
    if (previous == window)
        return;
    windowSystem.activeWindow = window;
    LPARAM previousParam = reinterpret_cast<LPARAM>(previous);
    LPARAM nextParam = reinterpret_cast<LPARAM>(window);
    if (sendNow) {
        if (previous && findWindow(previous))
            SendMessageA(previous, WM_ACTIVATE, WA_INACTIVE, nextParam);
        if (window && findWindow(window))
            SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, previousParam);
    } else {
        if (previous)
            queueSent(previous, WM_ACTIVATE, WA_INACTIVE, nextParam);
        if (window)
            queueSent(window, WM_ACTIVATE, WA_ACTIVE, previousParam);
    }
}

HWND windowOfNative(windowsystem::NativeWindow native) {
    if (native == 0)
        return nullptr;
    for (Window& window : windowSystem.windows)
        if (window.id && window.native == native)
            return handleOf(window);
    return nullptr;
}

// Focus changes update the active window as soon as the window system reports them, so that
// anything asking for the active window (DirectInput) sees the change at once. Close requests
// come from the pump.
void onWindowEvent(const windowsystem::Event& event) {
    using windowsystem::EventKind;
    if (event.kind == EventKind::quitRequested) {
        // The session asks the program to end: every visible window is closed.
        for (Window& window : windowSystem.windows)
            if (window.id && window.visible)
                postMessageOnce(handleOf(window), WM_CLOSE);
        return;
    }
    HWND window = windowOfNative(event.window);
    if (!window)
        return;
    if (event.kind == EventKind::closeRequested)
        postMessageOnce(window, WM_CLOSE);
    else if (event.kind == EventKind::focusGained && findWindow(window)->visible)
        activate(window, false);
    else if (event.kind == EventKind::focusLost && windowSystem.activeWindow == window)
        activate(nullptr, false);
}

bool startWindowSystem() {
    if (!windowsystem::available())
        return false;
    if (!windowSystem.listening)
        windowSystem.listening = windowsystem::addListener(onWindowEvent);
    return true;
}

void releaseSlot(Window& window) {
    if (window.native)
        windowsystem::destroyWindow(window.native);
    if (window.classIndex >= 0)
        --windowSystem.classes[window.classIndex].windowCount;
    window = Window{};
}

} // namespace

windowsystem::NativeWindow windowsystem::nativeWindowOf(HWND handle) {
    Window* window = findWindow(handle);
    return window ? window->native : 0;
}

WNDPROC windowProcOf(HWND handle) {
    Window* window = findWindow(handle);
    return window ? window->procedure : nullptr;
}

void pumpWindowEvents() {
    windowsystem::pumpEvents();
    // Deliver one at a time from the front: a procedure may cause further activations.
    while (windowSystem.sentCount > 0) {
        SentMessage message = windowSystem.sent[0];
        removeSent(0);
        if (findWindow(message.window))
            SendMessageA(message.window, message.message, message.wParam, message.lParam);
    }
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect)
        return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    // The program is the only module; other modules are not found.
    if (moduleName)
        return nullptr;
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA) || !windowClass->lpfnWndProc ||
        !windowClass->lpszClassName || IS_INTRESOURCE(windowClass->lpszClassName))
        return 0;
    const char* name = windowClass->lpszClassName;
    if (name[0] == '\0' || strlen(name) >= sizeof(WindowClass::name) || findClass(name) >= 0)
        return 0;
    for (int i = 0; i < classCapacity; ++i) {
        WindowClass& slot = windowSystem.classes[i];
        if (slot.used)
            continue;
        slot.used = true;
        strcpy(slot.name, name);
        slot.record = *windowClass;
        slot.record.lpszClassName = slot.name;
        slot.record.lpszMenuName = nullptr;
        slot.windowCount = 0;
        return static_cast<ATOM>(firstAtom + i);
    }
    return 0;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
    int index = findClass(className);
    if (index < 0 || windowSystem.classes[index].windowCount > 0)
        return FALSE;
    windowSystem.classes[index] = WindowClass{};
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    int classIndex = findClass(className);
    if (classIndex < 0 || !startWindowSystem())
        return nullptr;
    Window* window = nullptr;
    for (Window& slot : windowSystem.windows)
        if (slot.id == 0) {
            window = &slot;
            break;
        }
    if (!window)
        return nullptr;

    if (width == CW_USEDEFAULT)
        width = defaultWidth;
    if (height == CW_USEDEFAULT)
        height = defaultHeight;
    int clientWidth = width - frameLeft - frameRight;
    int clientHeight = height - frameTop - frameBottom;
    if (clientWidth < 1)
        clientWidth = 1;
    if (clientHeight < 1)
        clientHeight = 1;
    bool defaultPosition = x == CW_USEDEFAULT;
    std::string title = utf8FromCp1251(windowName);
    windowsystem::NativeWindow native = windowsystem::createWindow(
        title.c_str(), x + frameLeft, y + frameTop, defaultPosition, clientWidth, clientHeight);
    if (!native)
        return nullptr;

    WindowClass& windowClass = windowSystem.classes[classIndex];
    window->id = windowSystem.nextId;
    windowSystem.nextId += 4;
    window->classIndex = classIndex;
    window->procedure = windowClass.record.lpfnWndProc;
    window->native = native;
    window->x = defaultPosition ? 0 : x;
    window->y = defaultPosition ? 0 : y;
    window->visible = false;
    ++windowClass.windowCount;

    HWND handle = handleOf(*window);
    CREATESTRUCTA create = {param, instance, menu,        parent,     height,           width,
                            y,     x,        LONG(style), windowName, windowClass.name, exStyle};
    if (SendMessageA(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (style & WS_VISIBLE)
        ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    Window* window = findWindow(handle);
    if (!window)
        return FALSE;
    if (window->visible) {
        window->visible = false;
        windowsystem::hideWindow(window->native);
    }
    if (windowSystem.activeWindow == handle)
        activate(nullptr, true);
    SendMessageA(handle, WM_DESTROY, 0, 0);
    // The procedure may have destroyed the window itself meanwhile.
    window = findWindow(handle);
    if (window)
        releaseSlot(*window);
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int showCommand) {
    Window* window = findWindow(handle);
    if (!window)
        return FALSE;
    BOOL wasVisible = window->visible ? TRUE : FALSE;
    if (showCommand == SW_HIDE) {
        if (window->visible) {
            window->visible = false;
            windowsystem::hideWindow(window->native);
            if (windowSystem.activeWindow == handle)
                activate(nullptr, true);
        }
        return wasVisible;
    }
    if (!window->visible) {
        window->visible = true;
        windowsystem::showWindow(window->native);
    }
    if (showCommand != SW_SHOWNOACTIVATE && showCommand != SW_SHOWNA) {
        windowsystem::raiseWindow(window->native);
        // Sent here, whether or not a window manager hands the focus over.
        activate(handle, true);
    }
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND handle) {
    // Nothing is painted through messages: the device draws the whole client area.
    return findWindow(handle) ? TRUE : FALSE;
}

BOOL WINAPI IsWindow(HWND handle) {
    return findWindow(handle) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND handle) {
    Window* window = findWindow(handle);
    return window && window->visible ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
    Window* window = findWindow(handle);
    if (!window || !rect)
        return FALSE;
    int width = 0;
    int height = 0;
    windowsystem::clientSize(window->native, width, height);
    return SetRect(rect, 0, 0, width, height);
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
    Window* window = findWindow(handle);
    if (!window || !rect)
        return FALSE;
    int width = 0;
    int height = 0;
    windowsystem::clientSize(window->native, width, height);
    int x = window->x;
    int y = window->y;
    if (window->visible) {
        windowsystem::clientPosition(window->native, x, y);
        x -= frameLeft;
        y -= frameTop;
    }
    return SetRect(rect, x, y, x + frameLeft + width + frameRight,
                   y + frameTop + height + frameBottom);
}

HWND WINAPI GetActiveWindow() {
    return findWindow(windowSystem.activeWindow) ? windowSystem.activeWindow : nullptr;
}
